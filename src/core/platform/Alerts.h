#pragma once

#include <QString>
#include <QStringList>

namespace ostrevane {

// Modal alerts: a message, an informative text and buttons, the first one the default.
class Alerts {
public:
    enum class Style { informational, warning };
    struct Alert {
        Style style = Style::informational;
        QString message;
        QString informativeText;
        QStringList buttons;
    };

    virtual ~Alerts() = default;
    // Shows `alert` and waits for the answer: the index of the chosen button (0 is the
    // first), or -1 when the alert was closed without one.
    virtual int runModal(const Alert& alert) = 0;
};

} // namespace ostrevane
