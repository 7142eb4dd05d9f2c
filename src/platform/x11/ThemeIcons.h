#pragma once

#include "core/platform/Dispatcher.h"
#include "core/platform/Image.h"

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>

namespace ostrevane {

// Icons of the desktop's icon theme (or icon files named by absolute path), rendered
// to images and remembered by name. Qt's theme icons may be made only on the main
// thread (their loader is not thread-safe), so a request from another thread asks the
// main queue and waits at most `waitMilliseconds` for it; meanwhile, or without a
// graphical Qt application, the answer is null and callers use their fall-back.
class ThemeIcons {
public:
    static constexpr int iconSize = 64;
    static constexpr int waitMilliseconds = 250;

    explicit ThemeIcons(Dispatcher& dispatcher);

    // The icon called `name`; null when the theme has none.
    ImageHandle icon(const QString& name);

private:
    struct Slot;
    std::shared_ptr<Slot> slot(const QString& name, bool& isNew);
    static ImageHandle render(const QString& name);
    void renderOnMain(const QString& name, const std::shared_ptr<Slot>& slot);

    Dispatcher& m_dispatcher;
    std::mutex m_lock; // guards m_slots
    QHash<QString, std::shared_ptr<Slot>> m_slots;
};

} // namespace ostrevane
