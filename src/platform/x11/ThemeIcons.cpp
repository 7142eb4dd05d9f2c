#include "platform/x11/ThemeIcons.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>

#include <chrono>
#include <condition_variable>

namespace ostrevane {

namespace {

bool hasGuiApplication() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

ImageHandle fitted(QImage image)
{
    if (image.isNull())
        return nullptr;
    if (std::max(image.width(), image.height()) > ThemeIcons::iconSize)
        image = image.scaled(ThemeIcons::iconSize, ThemeIcons::iconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return std::make_shared<const QImage>(std::move(image));
}

} // namespace

struct ThemeIcons::Slot {
    std::mutex lock;
    std::condition_variable ready;
    bool done = false;
    bool waitedOut = false; // the main queue was slow once: later callers do not wait again
    ImageHandle image;

    void fill(ImageHandle rendered)
    {
        {
            std::lock_guard guard(lock);
            image = std::move(rendered);
            done = true;
        }
        ready.notify_all();
    }
};

ThemeIcons::ThemeIcons(Dispatcher& dispatcher)
    : m_dispatcher(dispatcher)
{
}

std::shared_ptr<ThemeIcons::Slot> ThemeIcons::slot(const QString& name, bool& isNew)
{
    std::lock_guard lock(m_lock);
    std::shared_ptr<Slot>& slot = m_slots[name];
    isNew = !slot;
    if (!slot)
        slot = std::make_shared<Slot>();
    return slot;
}

ImageHandle ThemeIcons::icon(const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    bool isNew = false;
    const std::shared_ptr<Slot> s = slot(name, isNew);
    {
        std::lock_guard guard(s->lock);
        if (s->done)
            return s->image;
    }
    // Image files are read with QImageReader, which any thread may use.
    if (QDir::isAbsolutePath(name) || m_dispatcher.isMainThread()) {
        ImageHandle rendered = render(name);
        s->fill(rendered);
        return rendered;
    }
    if (isNew)
        renderOnMain(name, s);
    std::unique_lock guard(s->lock);
    if (!s->waitedOut
        && !s->ready.wait_for(guard, std::chrono::milliseconds(waitMilliseconds), [&] { return s->done; }))
        s->waitedOut = true;
    return s->image;
}

void ThemeIcons::renderOnMain(const QString& name, const std::shared_ptr<Slot>& slot)
{
    m_dispatcher.async([name, slot] { slot->fill(render(name)); });
}

ImageHandle ThemeIcons::render(const QString& name)
{
    if (QDir::isAbsolutePath(name)) {
        QImageReader reader(name);
        return fitted(reader.read());
    }
    // Theme icons need a graphical application and its platform theme.
    if (!hasGuiApplication())
        return nullptr;
    const QIcon icon = QIcon::fromTheme(name);
    if (icon.isNull())
        return nullptr;
    return fitted(icon.pixmap(iconSize, iconSize).toImage());
}

} // namespace ostrevane
