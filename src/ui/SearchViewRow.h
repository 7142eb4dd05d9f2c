#pragma once

#include "core/model/SearchViewModel.h"
#include "core/model/SwitchItem.h"

#include <QFont>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace ostrevane {

class RowImages;

// One row of the switcher's list as the view shows it, and how it is drawn.
struct SearchViewRow {
    SwitchItem item;
    int index = 0;
    // The row's close control: the panel accepts closes and the item can be closed. Asked
    // only once the row is in view (closeKnown), since the question reaches the desktop.
    bool showsClose = false;
    bool closeKnown = false;
    RowCloseState closeState = RowCloseState::none;
    // The number of tabs or windows of a group row.
    std::optional<int> badgeCount;
    // Said after the subtitle: where a window is when it is not on the screen.
    QString placementNote;

    // The parts of a row that react to the pointer.
    enum class Part { none, body, badge, close };

    // The fonts and fixed texts rows are drawn with (made once per view).
    struct Style {
        QFont title;
        QFont tabTitle;
        QFont activeTabTitle;
        QFont subtitle;
        QFont badge;
        QFont iconBadge;
        double closeHitArea = 20;
        double closeSymbol = 13;
        QString closingText; // "Closing..."
        QString notRespondingText; // "Not responding"
        QString forceQuitOfferedText; // "Not responding · close again to force quit"
        QString closeTooltip; // "Close (⌥X)"
    };

    // Where the parts of a row sit inside its rectangle.
    struct Geometry {
        QRectF icon;
        QRectF text;
        QRectF badge; // empty without a badge
        QRectF close; // empty without a close control
    };
    Geometry geometry(const QRectF& rect, const Style& style) const;
    Part partAt(const QRectF& rect, const Style& style, QPointF point) const;

    // Draws the row's icon, texts, badge and close control (the highlight is drawn by the
    // view, which animates it).
    struct Hover {
        bool badge = false;
        bool close = false;
    };
    void paint(QPainter& painter, const QRectF& rect, const Style& style, const RowImages& images, bool selected,
               Hover hover) const;
    // The subtitle as drawn (the closing text aside): the item's, then the placement note.
    QString subtitleWithNote() const;

private:
    void paintIcon(QPainter& painter, const QRectF& block, const RowImages& images) const;
    void paintTexts(QPainter& painter, const QRectF& rect, const Style& style) const;
    void paintBadge(QPainter& painter, const QRectF& rect, const Style& style, bool hovered) const;
    void paintClose(QPainter& painter, const QRectF& rect, const Style& style, bool selected, bool hovered) const;
};

} // namespace ostrevane
