#include "ui/QtScreenPort.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace ostrevane {

namespace {

ScreenInfo info(const QScreen& screen)
{
    return {QRectF(screen.geometry()), QRectF(screen.availableGeometry())};
}

} // namespace

std::vector<ScreenInfo> QtScreenPort::screens()
{
    std::vector<ScreenInfo> result;
    for (const QScreen* screen : QGuiApplication::screens())
        result.push_back(info(*screen));
    return result;
}

std::optional<ScreenInfo> QtScreenPort::mainScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return info(*screen);
    return std::nullopt;
}

QPointF QtScreenPort::pointerLocation() { return QPointF(QCursor::pos()); }

} // namespace ostrevane
