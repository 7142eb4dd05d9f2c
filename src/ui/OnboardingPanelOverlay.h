#pragma once

#include "core/onboarding/OnboardingManager.h"

#include <QWidget>

#include <functional>
#include <optional>

class QPushButton;

namespace ostrevane {

class PulseAnimation;

// The guide's strip inside the switcher panel: a title, a detail text, key caps (the keys
// being taught pulse), three progress dots, and Skip and Next/Done buttons. It shows
// whatever content it is given and hides itself without content.
class OnboardingPanelOverlay : public QWidget {
    Q_OBJECT

public:
    OnboardingPanelOverlay(double fontScale, QWidget* parent = nullptr);

    // Nothing hides the strip.
    void setContent(std::optional<OnboardingOverlayContent> content);
    const std::optional<OnboardingOverlayContent>& content() const { return m_content; }

    std::function<void()> onNext;
    std::function<void()> onSkip;

    // The height the strip needs at `width` for its content.
    int heightForWidth(int width) const override;
    bool hasHeightForWidth() const override { return true; }

    QPushButton* skipButton() const { return m_skip; }
    QPushButton* primaryButton() const { return m_primary; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Fonts {
        QFont title;
        QFont detail;
        QFont cap;
        QFont caption;
        QFont button;
    };
    double detailHeight(double width) const;
    QRectF capsRow() const;
    void paintCaps(QPainter& painter, const QRectF& row) const;
    void paintDots(QPainter& painter, const QRectF& area) const;
    void placeButtons();

    double m_scale;
    Fonts m_fonts;
    std::optional<OnboardingOverlayContent> m_content;
    QPushButton* m_skip;
    QPushButton* m_primary;
    PulseAnimation* m_pulse;
};

} // namespace ostrevane
