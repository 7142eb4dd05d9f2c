#include "ui/SearchViewRow.h"

#include "ui/PanelStyle.h"
#include "ui/RowImages.h"
#include "ui/SearchViewContent.h"
#include "ui/SymbolIcons.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace ostrevane {

namespace {

constexpr double leadingPadding = 5;
constexpr double tabLeadingPadding = 3;
constexpr double trailingPadding = 8;
constexpr double verticalPadding = 4;
constexpr double iconSide = 40;
constexpr double textGap = 9;
constexpr double partGap = 6;
constexpr double badgeHeight = 18;
constexpr double badgeMinimumWidth = 24;
constexpr double closingOpacity = 0.55;

using PanelStyle::white;

QString badgeText(int count) { return QString::number(count); }

double badgeWidth(int count, const QFont& font)
{
    return std::max(badgeMinimumWidth, QFontMetricsF(font).horizontalAdvance(badgeText(count)) + 14);
}

void drawImageFitted(QPainter& painter, const QRectF& box, const QImage& image, double radius)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return;
    QSizeF size = image.size();
    size.scale(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(),
                        size.height());
    painter.save();
    if (radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(target, radius, radius);
        painter.setClipPath(clip, Qt::IntersectClip);
    }
    painter.drawImage(target, image);
    painter.restore();
}

// A neutral tile with the name's first letter, for rows whose picture is missing.
void drawPlaceholder(QPainter& painter, const QRectF& box, const QString& name, const QFont& font)
{
    painter.save();
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, white(0.20));
    fill.setColorAt(1, white(0.08));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    const double radius = box.width() * 0.24;
    painter.drawRoundedRect(box, radius, radius);
    if (!name.isEmpty()) {
        QFont letterFont = font;
        letterFont.setPointSizeF(font.pointSizeF() * box.height() / 24.0);
        letterFont.setWeight(QFont::DemiBold);
        painter.setFont(letterFont);
        painter.setPen(white(0.75));
        painter.drawText(box, Qt::AlignCenter, name.left(1).toUpper());
    }
    painter.restore();
}

void drawImageOrPlaceholder(QPainter& painter, const QRectF& box, const ImageHandle& image, const QString& name,
                            const QFont& font)
{
    if (image && !image->isNull())
        drawImageFitted(painter, box, *image, 0);
    else
        drawPlaceholder(painter, box, name, font);
}

QRectF cornerBadge(const QRectF& block, double side)
{
    return QRectF(block.right() - side + 2, block.bottom() - side + 2, side, side);
}

} // namespace

SearchViewRow::Geometry SearchViewRow::geometry(const QRectF& rect, const Style& style) const
{
    Geometry g;
    const double leading = item.kind() == SwitchItem::Kind::tab ? tabLeadingPadding : leadingPadding;
    const QRectF inner = rect.adjusted(leading, verticalPadding, -trailingPadding, -verticalPadding);
    g.icon = QRectF(inner.left(), inner.center().y() - iconSide / 2, iconSide, iconSide);
    double right = inner.right();
    if (showsClose) {
        g.close = QRectF(right - style.closeHitArea, inner.center().y() - style.closeHitArea / 2, style.closeHitArea,
                         style.closeHitArea);
        right = g.close.left() - partGap;
    }
    if (badgeCount) {
        const double width = badgeWidth(*badgeCount, style.badge);
        g.badge = QRectF(right - width, inner.center().y() - badgeHeight / 2, width, badgeHeight);
        right = g.badge.left() - partGap;
    }
    const double textLeft = g.icon.right() + textGap;
    g.text = QRectF(textLeft, inner.top(), std::max(0.0, right - textLeft), inner.height());
    return g;
}

SearchViewRow::Part SearchViewRow::partAt(const QRectF& rect, const Style& style, QPointF point) const
{
    if (!rect.contains(point))
        return Part::none;
    const Geometry g = geometry(rect, style);
    if (g.close.contains(point))
        return Part::close;
    if (g.badge.contains(point))
        return Part::badge;
    return Part::body;
}

void SearchViewRow::paint(QPainter& painter, const QRectF& rect, const Style& style, const RowImages& images,
                          bool selected, Hover hover) const
{
    painter.save();
    if (closeState == RowCloseState::closing)
        painter.setOpacity(painter.opacity() * closingOpacity);
    const Geometry g = geometry(rect, style);
    painter.setFont(style.iconBadge);
    paintIcon(painter, g.icon, images);
    paintTexts(painter, g.text, style);
    if (badgeCount)
        paintBadge(painter, g.badge, style, hover.badge);
    if (showsClose)
        paintClose(painter, g.close, style, selected, hover.close);
    painter.restore();
}

void SearchViewRow::paintIcon(QPainter& painter, const QRectF& block, const RowImages& images) const
{
    const QFont font = painter.font();
    const QRectF appIconBox = block.adjusted(3, 3, -3, -3);
    if (const auto* window = item.as<WindowItem>()) {
        const ImageHandle thumb = window->cgWindowID ? images.thumbnail(*window->cgWindowID) : nullptr;
        if (!thumb || thumb->isNull()) {
            drawImageOrPlaceholder(painter, appIconBox, window->appIcon, window->appName, font);
            return;
        }
        drawImageFitted(painter, block, *thumb, 5);
        if (window->appIcon && !window->appIcon->isNull())
            drawImageFitted(painter, cornerBadge(block, 17), *window->appIcon, 0);
        return;
    }
    if (const auto* tab = item.as<TabItem>()) {
        const QRectF tile = block.adjusted(3, 3, -3, -3);
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(white(0.08));
        painter.drawRoundedRect(tile, 9, 9);
        painter.restore();
        const QRectF faviconBox(tile.center().x() - 9, tile.center().y() - 9, 18, 18);
        // Until a favicon arrives (or when none exists) a plain neutral tile stands in.
        drawImageOrPlaceholder(painter, faviconBox, images.favicon(tab->faviconURL), QString(), font);
        drawImageOrPlaceholder(painter, cornerBadge(block, 15), tab->appIcon, tab->browserAppName, font);
        return;
    }
    const auto* app = item.as<AppItem>();
    const ImageHandle icon = app && !app->icon ? images.appIcon(app->path) : item.icon();
    drawImageOrPlaceholder(painter, appIconBox, icon, item.title(), font);
}

void SearchViewRow::paintTexts(QPainter& painter, const QRectF& rect, const Style& style) const
{
    const auto* tab = item.as<TabItem>();
    const QFont& titleFont = tab ? (tab->isActiveInFrontWindow ? style.activeTabTitle : style.tabTitle) : style.title;
    const QString subtitle = closeState == RowCloseState::closing ? style.closingText
        : closeState == RowCloseState::notResponding                ? style.notRespondingText
        : closeState == RowCloseState::forceQuitOffered             ? style.forceQuitOfferedText
                                                                    : subtitleWithNote();
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF subtitleMetrics(style.subtitle);
    const double lineGap = 1;
    const double block = titleMetrics.height() + (subtitle.isEmpty() ? 0 : lineGap + subtitleMetrics.height());
    const double top = rect.center().y() - block / 2;
    const QString title = item.title().isEmpty() ? item.subtitle() : item.title();

    painter.setFont(titleFont);
    painter.setPen(white(tab ? 0.86 : 0.92));
    const QRectF titleRect(rect.left(), top, rect.width(), titleMetrics.height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(title, Qt::ElideRight, rect.width()));
    if (subtitle.isEmpty())
        return;
    painter.setFont(style.subtitle);
    painter.setPen(closeState != RowCloseState::none ? white(0.75) : white(0.5));
    const QRectF subtitleRect(rect.left(), titleRect.bottom() + lineGap, rect.width(), subtitleMetrics.height());
    painter.drawText(subtitleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     subtitleMetrics.elidedText(subtitle, Qt::ElideRight, rect.width()));
}

QString SearchViewRow::subtitleWithNote() const
{
    const QString subtitle = item.subtitle();
    if (placementNote.isEmpty())
        return subtitle;
    return subtitle.isEmpty() ? placementNote : subtitle + SearchViewContent::noteSeparator + placementNote;
}

void SearchViewRow::paintBadge(QPainter& painter, const QRectF& rect, const Style& style, bool hovered) const
{
    painter.save();
    painter.setPen(QPen(white(hovered ? 0.3 : 0.14), 1));
    painter.setBrush(white(hovered ? 0.24 : 0.11));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), rect.height() / 2, rect.height() / 2);
    painter.setFont(style.badge);
    painter.setPen(white(hovered ? 0.95 : 0.78));
    painter.drawText(rect, Qt::AlignCenter, badgeText(*badgeCount));
    painter.restore();
}

void SearchViewRow::paintClose(QPainter& painter, const QRectF& rect, const Style& style, bool selected,
                               bool hovered) const
{
    const double opacity = hovered ? 0.9 : (selected ? 0.5 : 0.28);
    const double side = style.closeSymbol;
    const QRectF symbol(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    SymbolIcons::paint(painter, symbol, QStringLiteral("xmark.circle.fill"), white(opacity));
}

} // namespace ostrevane
