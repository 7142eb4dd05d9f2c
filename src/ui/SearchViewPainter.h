#pragma once

#include "core/model/PanelSettings.h"
#include "ui/RecentImages.h"

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

class QPainter;

namespace ostrevane {

class SearchView;

// Draws a SearchView from what the view copied from its model: the background (with its
// shadow when the panel is translucent), the header or group header, the banner, the
// list with its highlight and boundary hints, the empty state, the footer and the rail.
// Keeps the pictures it drew lately (the shadow strip per wave position, the highlight
// per size and sub-pixel offset), so it lives as long as its view. Main thread only.
class SearchViewPainter {
public:
    explicit SearchViewPainter(SearchView& view)
        : m_view(view)
    {
    }

    // One frame, back to front.
    void paint(QPainter& painter);

private:
    void paintBackground(QPainter& painter);
    void paintShadow(QPainter& painter, const QPainterPath& shape);
    void paintHeader(QPainter& painter) const;
    void paintSearchRow(QPainter& painter) const;
    void paintGroupHeader(QPainter& painter) const;
    void paintBanner(QPainter& painter) const;
    void paintList(QPainter& painter);
    void paintHighlight(QPainter& painter, const QRectF& rect);
    void paintBoundaryHints(QPainter& painter) const;
    void paintEmptyState(QPainter& painter) const;
    void paintFooter(QPainter& painter) const;
    void paintRail(QPainter& painter) const;

    struct ShadowKey {
        PanelEdge edge;
        QSize size;
        double waveCenter;
        double dpr;
        bool operator==(const ShadowKey&) const = default;
    };
    struct HighlightKey {
        QSizeF size;
        QPointF offset;
        double dpr;
        bool operator==(const HighlightKey&) const = default;
    };

    SearchView& m_view;
    RecentImages<ShadowKey> m_shadows{8};
    RecentImages<HighlightKey> m_highlights{8};
};

} // namespace ostrevane
