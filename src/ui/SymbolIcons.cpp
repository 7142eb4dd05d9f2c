#include "ui/SymbolIcons.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

// Resources of a static library are registered by hand, outside any namespace.
static void registerSymbolResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace ostrevane::SymbolIcons {

namespace {

QString resourcePath(const QString& name) { return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg"); }

QPixmap render(const QString& name, int pixels, const QColor& color)
{
    QSvgRenderer renderer(resourcePath(name));
    if (!renderer.isValid())
        return {};
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p);
    // The set is drawn in white; keep its coverage and take the colour.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), color);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

bool contains(const QString& name)
{
    registerSymbolResources();
    return QFile::exists(resourcePath(name));
}

QPixmap pixmap(const QString& name, double side, const QColor& color, double devicePixelRatio)
{
    registerSymbolResources();
    const int pixels = std::max(1, static_cast<int>(std::lround(side * devicePixelRatio)));
    const QString key = name + QLatin1Char('|') + QString::number(pixels) + QLatin1Char('|')
        + QString::number(color.rgba(), 16);
    static QHash<QString, QPixmap> cache;
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, render(name, pixels, color));
    QPixmap result = *it;
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

void paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color)
{
    const double side = std::min(rect.width(), rect.height());
    const double dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap symbol = pixmap(name, side, color, dpr);
    if (symbol.isNull())
        return;
    const QRectF target(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    painter.drawPixmap(target, symbol, QRectF(symbol.rect()));
}

} // namespace ostrevane::SymbolIcons
