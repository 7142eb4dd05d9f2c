#include "ui/OstrevaneMenuBarIcon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

#include <cmath>

namespace ostrevane::OstrevaneMenuBarIcon {

namespace {

constexpr double sweepWidth = 2.1;
constexpr double lineWidth = 1.3;

// The artwork is specified with the origin at the bottom left; screens count from the top.
double flip(double y) { return artHeight - y; }

// Maps artwork points into device pixels for one target, keeping horizontal strokes on
// the pixel grid: each stroke is a whole number of pixels wide, centred on a pixel's
// middle when that number is odd and on a pixel edge when it is even.
struct Grid {
    double scale;
    QPointF origin;

    double x(double artX) const { return origin.x() + artX * scale; }
    double width(double artWidth) const { return std::max(1.0, std::round(artWidth * scale)); }
    double snappedY(double artY, double artWidth) const
    {
        const double device = origin.y() + flip(artY) * scale;
        return static_cast<long>(width(artWidth)) % 2 ? std::floor(device) + 0.5 : std::round(device);
    }
};

void paintSweep(QPainter& painter, const Grid& grid, const QColor& color)
{
    const double top = grid.snappedY(13.2, sweepWidth);
    const double bottom = grid.snappedY(5.0, sweepWidth);
    QPainterPath path(QPointF(grid.x(2.6), top));
    path.lineTo(grid.x(7.7), top);
    path.cubicTo(QPointF(grid.x(9.6), top), QPointF(grid.x(11.7), bottom), QPointF(grid.x(15.5), bottom));
    path.lineTo(grid.x(19.2), bottom);
    painter.setPen(QPen(color, grid.width(sweepWidth), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

void paintLines(QPainter& painter, const Grid& grid, const QColor& color)
{
    painter.setPen(QPen(color, grid.width(lineWidth), Qt::SolidLine, Qt::RoundCap));
    const QPointF starts[] = {{14.2, 7.7}, {12.8, 10.3}, {11.4, 12.9}};
    for (const QPointF& start : starts) {
        const double y = grid.snappedY(start.y(), lineWidth);
        painter.drawLine(QPointF(grid.x(start.x()), y), QPointF(grid.x(19.2), y));
    }
}

// Paints the artwork for every size a tray or window asks for.
class Engine : public QIconEngine {
public:
    explicit Engine(QColor color) : m_color(color) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        QColor color = m_color;
        if (mode == QIcon::Disabled)
            color.setAlphaF(color.alphaF() * 0.4f);
        OstrevaneMenuBarIcon::paint(*painter, rect, color);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // `size` is already in device pixels; `scale` only labels the result.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter painter(&pixmap);
            paint(&painter, pixmap.rect(), mode, state);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return standardSizes(); }
    QIconEngine* clone() const override { return new Engine(m_color); }
    QString key() const override { return QStringLiteral("OstrevaneMenuBarIcon"); }

private:
    QColor m_color;
};

} // namespace

QList<QSize> standardSizes() { return {{16, 16}, {22, 22}, {24, 24}, {32, 32}}; }

void paint(QPainter& painter, const QRectF& target, const QColor& color)
{
    const double scale = std::min(target.width() / artWidth, target.height() / artHeight);
    const QPointF origin(target.center().x() - artWidth * scale / 2, target.center().y() - artHeight * scale / 2);
    const Grid grid{scale, origin};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    paintSweep(painter, grid, color);
    paintLines(painter, grid, color);
    painter.restore();
}

QIcon make() { return make(QGuiApplication::palette().color(QPalette::WindowText)); }

QIcon make(const QColor& color) { return QIcon(new Engine(color)); }

} // namespace ostrevane::OstrevaneMenuBarIcon
