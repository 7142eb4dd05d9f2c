#include "ui/SearchViewPainter.h"

#include "ui/SearchView.h"

#include "core/model/Localization.h"
#include "ui/PanelStyle.h"
#include "ui/PanelWaveShape.h"
#include "ui/SearchViewLayout.h"
#include "ui/SelectionWaveRail.h"
#include "ui/SymbolIcons.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ostrevane {

namespace {

using PanelStyle::TextRole;
using PanelStyle::white;
using SearchViewContent::ListKind;

constexpr double highlightRadius = 12;
// Room around the highlight's picture for its shadow (7 points, 3 down).
constexpr double highlightMargin = 12;
constexpr double railWidth = 2.4;
constexpr double shadowRadius = 24;
constexpr double shadowOffset = 10;
constexpr double shadowOpacity = 0.35;

} // namespace

void SearchViewPainter::paint(QPainter& painter)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    paintBackground(painter);
    paintHeader(painter);
    paintBanner(painter);
    paintList(painter);
    paintEmptyState(painter);
    paintFooter(painter);
    paintRail(painter);
}

void SearchViewPainter::paintBackground(QPainter& painter)
{
    const QPainterPath shape = m_view.waveShape();
    if (m_view.m_translucent)
        paintShadow(painter, shape);
    else
        m_view.reportOutline(shape);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0));
    painter.drawPath(shape);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(white(0.12), 1));
    painter.drawPath(shape);
}

// The window ends 14 points beyond the panel's inner side, so the shadow cannot fall its
// full length there; it fades out toward the window's edge instead of being cut off by it.
// Its strokes are a third of a frame's cost, so each wave position's strip is kept: a
// showing's first frame and a settled highlight draw it from memory.
void SearchViewPainter::paintShadow(QPainter& painter, const QPainterPath& shape)
{
    const bool left = m_view.m_edge == PanelEdge::left;
    const int stripWidth = static_cast<int>(PanelWaveShape::waveOutset) + 2;
    const QRect strip = left ? QRect(m_view.width() - stripWidth, 0, stripWidth, m_view.height()) : QRect(0, 0, stripWidth, m_view.height());
    const double dpr = m_view.devicePixelRatioF();
    const ShadowKey key{m_view.m_edge, m_view.size(), m_view.m_waveSpring.value(m_view.now()), dpr};
    painter.drawImage(strip.topLeft(), m_shadows.get(key, [&] {
        QImage layer((QSizeF(strip.size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(dpr);
        layer.fill(Qt::transparent);
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-strip.topLeft());
        const double towardInterior = left ? shadowOffset : -shadowOffset;
        PanelStyle::paintSoftShadow(p, shape, QPointF(towardInterior, 0), shadowRadius, shadowOpacity);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        const double edge = left ? strip.right() + 1 : strip.left();
        const double inner = left ? m_view.width() - PanelWaveShape::waveOutset : PanelWaveShape::waveOutset;
        QLinearGradient fade(edge, 0, inner, 0);
        fade.setColorAt(0, QColor(0, 0, 0, 0));
        fade.setColorAt(1, QColor(0, 0, 0, 255));
        p.fillRect(strip, fade);
        return layer;
    }));
}

void SearchViewPainter::paintHeader(QPainter& painter) const
{
    if (m_view.m_listKind != ListKind::main)
        paintGroupHeader(painter);
    paintSearchRow(painter);
}

void SearchViewPainter::paintSearchRow(QPainter& painter) const
{
    const QRectF row = m_view.m_layout.searchRow;
    painter.save();
    const double scale = m_view.m_searchScale.value(m_view.now());
    painter.translate(row.center());
    painter.scale(scale, scale);
    painter.translate(-row.center());
    if (m_view.m_floatingActive) {
        painter.setPen(QPen(white(0.10), 1));
        painter.setBrush(white(0.07));
        painter.drawRoundedRect(row.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        SymbolIcons::paint(painter, QRectF(row.left() + 10, row.center().y() - 8, 16, 16),
                           QStringLiteral("magnifyingglass"), white(0.5));
        painter.restore();
        return;
    }
    const QFontMetricsF metrics(m_view.m_fonts.capsule);
    const double symbol = 15 * m_view.m_scale;
    const double width = std::min(row.width(), metrics.horizontalAdvance(m_view.m_capsuleText) + symbol + 36);
    const QRectF capsule(row.center().x() - width / 2, row.top() + 1, width, row.height() - 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(0.94));
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    const QRectF icon(capsule.left() + 14, capsule.center().y() - symbol / 2, symbol, symbol);
    SymbolIcons::paint(painter, icon, QStringLiteral("magnifyingglass"), QColor(0, 0, 0, 200));
    painter.setFont(m_view.m_fonts.capsule);
    painter.setPen(QColor(0, 0, 0, 230));
    painter.drawText(capsule.adjusted(icon.right() - capsule.left() + 6, 0, -12, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_view.m_capsuleText, Qt::ElideRight, capsule.width() - symbol - 32));
    painter.restore();
}

void SearchViewPainter::paintGroupHeader(QPainter& painter) const
{
    const QRectF chip = m_view.m_layout.backChip;
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(m_view.m_press.backChip ? 0.2 : 0.1));
    painter.drawRoundedRect(chip, chip.height() / 2, chip.height() / 2);
    SymbolIcons::paint(painter, QRectF(chip.left() + 8, chip.center().y() - 6, 12, 12), QStringLiteral("chevron.left"),
                       white(0.8));
    painter.setFont(m_view.m_fonts.headerHint);
    painter.setPen(white(0.85));
    painter.drawText(chip.adjusted(24, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, m_view.m_backText);
    painter.setPen(white(0.38));
    painter.drawText(QRectF(chip.right() + 8, chip.top(), m_view.m_layout.searchRow.right() - chip.right() - 8, chip.height()),
                     Qt::AlignRight | Qt::AlignVCenter, m_view.m_backChord);

    const QRectF title = m_view.m_layout.groupTitle;
    const QRectF icon(title.left(), title.top() + 6, 38, 38);
    if (m_view.m_group.icon && !m_view.m_group.icon->isNull())
        painter.drawImage(icon, *m_view.m_group.icon);
    else
        SymbolIcons::paint(painter, icon.adjusted(6, 6, -6, -6), QStringLiteral("sparkles.rectangle.stack"), white(0.6));
    const QRectF texts = title.adjusted(icon.width() + 12, 0, 0, 0);
    const QFontMetricsF titleMetrics(m_view.m_fonts.groupTitle);
    painter.setFont(m_view.m_fonts.groupTitle);
    painter.setPen(white(0.95));
    painter.drawText(QRectF(texts.left(), texts.top(), texts.width(), titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, titleMetrics.elidedText(m_view.m_group.title, Qt::ElideRight, texts.width()));
    painter.setFont(m_view.m_fonts.groupSubtitle);
    painter.setPen(white(0.5));
    painter.drawText(QRectF(texts.left(), texts.top() + titleMetrics.height(), texts.width(), 20),
                     Qt::AlignLeft | Qt::AlignVCenter, m_view.m_group.subtitle);
}

void SearchViewPainter::paintBanner(QPainter& painter) const
{
    if (!m_view.m_showsBanner)
        return;
    const QRectF banner = m_view.m_layout.banner.adjusted(0, 2, 0, -2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 184, 0, 34));
    painter.drawRoundedRect(banner, 8, 8);
    const double symbol = PanelStyle::scaledSize(TextRole::bannerSymbol, m_view.m_scale) + 2;
    SymbolIcons::paint(painter, QRectF(banner.left() + 8, banner.center().y() - symbol / 2, symbol, symbol),
                       QStringLiteral("exclamationmark.triangle.fill"), QColor(255, 196, 40, 230));
    painter.setFont(m_view.m_fonts.banner);
    painter.setPen(white(0.78));
    const QRectF text = banner.adjusted(symbol + 16, 0, -8, 0);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetricsF(m_view.m_fonts.banner)
                         .elidedText(SearchViewContent::tabPermissionWarningText(), Qt::ElideRight, text.width()));
}

void SearchViewPainter::paintList(QPainter& painter)
{
    if (m_view.m_rows.empty())
        return;
    painter.save();
    painter.setClipRect(m_view.m_layout.viewport);
    const int selected = m_view.clampedSelection();
    const QRectF first = m_view.rowRect(0);
    const auto& list = SearchViewLayout::metrics(m_view.m_listKind != ListKind::main);
    const double highlightTop = first.top() - SearchViewLayout::rowTop(0, list) + m_view.m_highlightSpring.value(m_view.now());
    paintHighlight(painter, QRectF(first.left(), highlightTop, first.width(), first.height()));
    for (int i = 0; i < static_cast<int>(m_view.m_rows.size()); ++i) {
        const QRectF rect = m_view.rowRect(i);
        if (!rect.intersects(m_view.m_layout.viewport))
            continue;
        painter.save();
        if (i == selected) {
            painter.translate(rect.center());
            painter.scale(SearchView::selectedRowScale, SearchView::selectedRowScale);
            painter.translate(-rect.center());
        }
        const SearchViewRow::Hover hover{i == m_view.m_hoverRow && m_view.m_hoverPart == SearchViewRow::Part::badge,
                                         i == m_view.m_hoverRow && m_view.m_hoverPart == SearchViewRow::Part::close};
        m_view.m_rows[i].paint(painter, rect, m_view.m_rowStyle, *m_view.m_images, i == selected, hover);
        painter.restore();
    }
    painter.restore();
    paintBoundaryHints(painter);
}

// Drawn once per size and sub-pixel offset into a picture: its shadow strokes cost more
// than the rows around it.
void SearchViewPainter::paintHighlight(QPainter& painter, const QRectF& rect)
{
    const double dpr = m_view.devicePixelRatioF();
    const QRectF scaled(rect.center() - QPointF(rect.width(), rect.height()) * SearchView::selectedRowScale / 2,
                        rect.size() * SearchView::selectedRowScale);
    const QPointF origin(std::floor(scaled.left()) - highlightMargin, std::floor(scaled.top()) - highlightMargin);
    const QPointF offset = scaled.topLeft() - origin;
    const HighlightKey key{rect.size(), offset, dpr};
    painter.drawImage(origin, m_highlights.get(key, [&] {
        const QSizeF area = scaled.size() + QSizeF(2 * highlightMargin + 1, 2 * highlightMargin + 1);
        QImage image((area * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF local(offset + QPointF(rect.width(), rect.height()) * (SearchView::selectedRowScale - 1) / 2, rect.size());
        p.translate(local.center());
        p.scale(SearchView::selectedRowScale, SearchView::selectedRowScale);
        p.translate(-local.center());
        QPainterPath path;
        path.addRoundedRect(local, highlightRadius, highlightRadius);
        PanelStyle::paintSoftShadow(p, path, QPointF(0, 3), 7, 0.45);
        QLinearGradient fill(local.topLeft(), local.bottomLeft());
        fill.setColorAt(0, QColor(255, 255, 255, 46));
        fill.setColorAt(1, QColor(255, 255, 255, 22));
        p.setBrush(fill);
        p.setPen(QPen(white(0.11), 1));
        p.drawRoundedRect(local.adjusted(0.5, 0.5, -0.5, -0.5), highlightRadius, highlightRadius);
        return image;
    }));
}

void SearchViewPainter::paintBoundaryHints(QPainter& painter) const
{
    if (m_view.m_listKind != ListKind::windows)
        return;
    int above = 0;
    int below = 0;
    for (int i = 0; i < static_cast<int>(m_view.m_rows.size()); ++i) {
        const QRectF rect = m_view.rowRect(i);
        above += rect.bottom() <= m_view.m_layout.viewport.top() + 0.5 ? 1 : 0;
        below += rect.top() >= m_view.m_layout.viewport.bottom() - 0.5 ? 1 : 0;
    }
    const auto paintHint = [&](const QString& text, double y) {
        const QFontMetricsF metrics(m_view.m_fonts.footer);
        const double width = metrics.horizontalAdvance(text) + 14;
        const QRectF pill(m_view.m_layout.column.right() - SearchView::columnPadding - width, y, width, metrics.height() + 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(40, 40, 44, 235));
        painter.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
        painter.setFont(m_view.m_fonts.footer);
        painter.setPen(white(0.7));
        painter.drawText(pill, Qt::AlignCenter, text);
    };
    const Localization& strings = Localization::shared();
    if (above > 0)
        paintHint(strings.format(QT_TRANSLATE_NOOP("Ostrevane", "%lld above"), {QString::number(above)}),
                  m_view.m_layout.viewport.top() + 2);
    if (below > 0)
        paintHint(strings.format(QT_TRANSLATE_NOOP("Ostrevane", "%lld below"), {QString::number(below)}),
                  m_view.m_layout.viewport.bottom() - QFontMetricsF(m_view.m_fonts.footer).height() - 8);
}

void SearchViewPainter::paintEmptyState(QPainter& painter) const
{
    using SearchViewContent::EmptyState;
    if (m_view.m_emptyState == EmptyState::none)
        return;
    const auto texts = SearchViewContent::emptyStateTexts(m_view.m_emptyState, m_view.m_query);
    const bool noMatches = m_view.m_emptyState == EmptyState::noMatches;
    const double symbol = PanelStyle::scaledSize(noMatches ? TextRole::emptySymbolNoMatches : TextRole::emptySymbolNoItems,
                                                 m_view.m_scale);
    const QRectF area = m_view.m_layout.viewport.adjusted(SearchView::columnPadding + 8, 0, -SearchView::columnPadding - 8, 0);
    const QFont& titleFont = noMatches ? m_view.m_fonts.noMatches : m_view.m_fonts.emptyTitle;
    const QRectF titleBounds = QFontMetricsF(titleFont).boundingRect(QRectF(0, 0, area.width(), 1000),
                                                                     Qt::TextWordWrap | Qt::AlignHCenter, texts.title);
    const QRectF detailBounds = QFontMetricsF(m_view.m_fonts.emptyDetail)
                                    .boundingRect(QRectF(0, 0, area.width(), 1000), Qt::TextWordWrap | Qt::AlignHCenter,
                                                  texts.detail);
    const double gap = 10;
    const double total = symbol + gap + titleBounds.height() + (texts.detail.isEmpty() ? 0 : 6 + detailBounds.height());
    double y = area.top() + std::max(0.0, (area.height() - total) / 2 - 10);
    SymbolIcons::paint(painter, QRectF(area.center().x() - symbol / 2, y, symbol, symbol), texts.symbol, white(0.45));
    y += symbol + gap;
    painter.setFont(titleFont);
    painter.setPen(white(0.86));
    painter.drawText(QRectF(area.left(), y, area.width(), titleBounds.height()), Qt::TextWordWrap | Qt::AlignHCenter,
                     texts.title);
    y += titleBounds.height() + 6;
    painter.setFont(m_view.m_fonts.emptyDetail);
    painter.setPen(white(0.52));
    painter.drawText(QRectF(area.left(), y, area.width(), detailBounds.height()), Qt::TextWordWrap | Qt::AlignHCenter,
                     texts.detail);
}

void SearchViewPainter::paintFooter(QPainter& painter) const
{
    const QRectF footer = m_view.m_layout.footer;
    // Rows continuing below the list fade out instead of being cut.
    if (!m_view.m_rows.empty() && m_view.rowRect(static_cast<int>(m_view.m_rows.size()) - 1).bottom() > m_view.m_layout.viewport.bottom() + 0.5) {
        QLinearGradient fade(0, footer.top() - 14, 0, footer.top());
        fade.setColorAt(0, QColor(0, 0, 0, 0));
        fade.setColorAt(1, QColor(0, 0, 0, 255));
        painter.fillRect(QRectF(footer.left(), footer.top() - 14, footer.width(), 14), fade);
    }
    const QFontMetricsF metrics(m_view.m_fonts.footer);
    const double keyPad = 4;
    const double gap = 8;
    double total = 0;
    for (const auto& hint : m_view.m_footerHints)
        total += metrics.horizontalAdvance(hint.keys) + 2 * keyPad + 3 + metrics.horizontalAdvance(hint.label) + gap;
    total -= gap;
    const double available = footer.width() - 2 * SearchView::columnPadding;
    const double squeeze = total > available && total > 0 ? available / total : 1.0;
    double x = footer.left() + SearchView::columnPadding + std::max(0.0, (available - total) / 2);
    const double chipHeight = metrics.height() + 3;
    const double y = footer.center().y() - chipHeight / 2 - 2;
    painter.setFont(m_view.m_fonts.footer);
    for (const auto& hint : m_view.m_footerHints) {
        const QRectF key(x, y, (metrics.horizontalAdvance(hint.keys) + 2 * keyPad) * squeeze, chipHeight);
        painter.setPen(Qt::NoPen);
        painter.setBrush(white(0.12));
        painter.drawRoundedRect(key, 4, 4);
        painter.setPen(white(0.78));
        painter.drawText(key, Qt::AlignCenter, hint.keys);
        const QRectF label(key.right() + 3, y, metrics.horizontalAdvance(hint.label) * squeeze, chipHeight);
        painter.setPen(white(0.45));
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, hint.label);
        x = label.right() + gap * squeeze;
    }
}

void SearchViewPainter::paintRail(QPainter& painter) const
{
    if (m_view.m_rows.empty())
        return;
    const double center = PanelWaveShape::clampedCenter(QRectF(QPointF(0, 0), QSizeF(m_view.size())), m_view.m_waveSpring.value(m_view.now()));
    // The rail follows the bump's crest: just inside the panel's inner edge.
    const QRectF rect(0, 0, 16, m_view.height());
    painter.save();
    if (m_view.m_edge == PanelEdge::left) {
        painter.translate(m_view.width(), 0);
        painter.scale(-1, 1);
    }
    SelectionWaveRail rail{center};
    QLinearGradient stroke(0, center - 21, 0, center + 21);
    stroke.setColorAt(0, white(0.0));
    stroke.setColorAt(0.5, white(0.85));
    stroke.setColorAt(1, white(0.0));
    painter.setPen(QPen(QBrush(stroke), railWidth, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rail.path(rect.translated(PanelWaveShape::waveOutset - PanelWaveShape::waveHeight, 0)));
    painter.restore();
}

} // namespace ostrevane
