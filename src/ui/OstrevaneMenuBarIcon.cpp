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
// the pixel grid: a stroke an odd number of pixels wide is centred on a pixel's middle,
// an even one on a pixel edge.
struct Grid {
    double scale;
    QPointF origin;

    QPointF point(double x, double y) const { return origin + QPointF(x * scale, flip(y) * scale); }
    double snappedY(double y, double width) const
    {
        const double device = origin.y() + flip(y) * scale;
        const long pixels = std::max(1L, std::lround(width * scale));
        return pixels % 2 ? std::floor(device) + 0.5 : std::round(device);
    }
};

void paintSweep(QPainter& painter, const Grid& grid, const QColor& color)
{
    const double top = grid.snappedY(13.2, sweepWidth);
    const double bottom = grid.snappedY(5.0, sweepWidth);
    QPainterPath path(QPointF(grid.point(2.6, 0).x(), top));
    path.lineTo(grid.point(7.7, 0).x(), top);
    path.cubicTo(QPointF(grid.point(9.6, 0).x(), top), QPointF(grid.point(11.7, 0).x(), bottom),
                 QPointF(grid.point(15.5, 0).x(), bottom));
    path.lineTo(grid.point(19.2, 0).x(), bottom);
    painter.setPen(QPen(color, sweepWidth * grid.scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

void paintLines(QPainter& painter, const Grid& grid, const QColor& color)
{
    painter.setPen(QPen(color, lineWidth * grid.scale, Qt::SolidLine, Qt::RoundCap));
    const QPointF starts[] = {{14.2, 7.7}, {12.8, 10.3}, {11.4, 12.9}};
    for (const QPointF& start : starts) {
        const double y = grid.snappedY(start.y(), lineWidth);
        painter.drawLine(QPointF(grid.point(start.x(), 0).x(), y), QPointF(grid.point(19.2, 0).x(), y));
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
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
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
