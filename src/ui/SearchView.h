#pragma once

#include "core/model/PanelSettings.h"
#include "core/model/SearchViewModel.h"
#include "core/input/ShortcutStore.h"
#include "ui/RowImages.h"
#include "ui/SearchViewContent.h"
#include "ui/SearchViewPainter.h"
#include "ui/SearchViewRow.h"
#include "ui/SpringAnimation.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace ostrevane {

class Dispatcher;
class NotificationCenter;
class OnboardingManager;
class OnboardingPanelOverlay;
class SearchField;

// The content of the switcher panel: a dark column attached to one screen edge whose inner
// side forms a wave pointing at the highlighted row. It shows the header (the "Enter to
// search" capsule, or the search field), a browser-permission banner when needed, the list
// (main list, or one browser's tabs or one app's windows under a group header) or an empty
// state, a footer of shortcut hints and, during the guide, the onboarding strip.
//
// It renders the view model and reports hovers, clicks and closes back to it; it owns no
// list logic. Painting reads only what the view copied from the model when the model
// changed, so the view keeps drawing its last state after the model is gone (the panel
// slides out after its showing has ended). Settings, permissions and shortcuts are read
// when the view is built and when they change, never while painting. Main thread only.
class SearchView : public QWidget {
    Q_OBJECT

public:
    // Spring of the wave's centre and of the highlight, as (response s, damping fraction).
    static constexpr double waveResponse = 0.36;
    static constexpr double waveDamping = 0.8;
    static constexpr double selectionResponse = 0.28;
    static constexpr double selectionDamping = 0.82;
    static constexpr double selectedRowScale = 1.035;
    // Space between the panel's column and its rows, hints and footer (points).
    static constexpr double columnPadding = 12;
    // Repaint interval while something animates.
    static constexpr int frameIntervalMs = 16;

    // What the view reads besides the model.
    struct Environment {
        Dispatcher* dispatcher = nullptr;
        NotificationCenter* notifications = nullptr;
        OnboardingManager* onboarding = nullptr;
        std::function<bool()> accessibilityTrusted;
        std::function<QStringList()> runningBrowserNames;
        std::function<ShortcutMap()> resolvedShortcuts;
        PanelFontSize fontSize = PanelFontSize::normal;
        RowImages::Sources images;

        // The current runtime's ports, settings and shared instances.
        static Environment fromRuntime();
    };

    SearchView(SearchViewModel& viewModel, PanelEdge edge, Environment environment, QWidget* parent = nullptr);
    SearchView(SearchViewModel& viewModel, PanelEdge edge, QWidget* parent = nullptr);
    ~SearchView() override;

    // Shows another showing's model from its start, at `edge`.
    void present(SearchViewModel& viewModel, PanelEdge edge);

    PanelEdge edge() const { return m_edge; }
    double fontScale() const { return m_scale; }

    // What is shown (for tests and tools).
    bool floatingActive() const { return m_floatingActive; }
    const std::vector<SearchViewRow>& rows() const { return m_rows; }
    SearchViewContent::ListKind listKind() const { return m_listKind; }
    const std::vector<SearchViewContent::FooterHint>& footerHints() const { return m_footerHints; }
    // The close button's tooltip ("Close (Alt+X)" on Linux).
    const QString& closeTooltip() const { return m_rowStyle.closeTooltip; }
    SearchViewContent::EmptyState emptyState() const { return m_emptyState; }
    bool showsTabPermissionWarning() const { return m_showsBanner; }
    SearchField* searchField() const { return m_searchField; }
    OnboardingPanelOverlay* onboardingOverlay() const { return m_overlay; }
    // The highlighted row's centre before measuring: top + pad + 24 + (spacing + 48) × index.
    double estimatedPanelWaveY() const;
    // Where the wave is heading: the highlighted row's measured centre (panel coordinates)
    // once laid out, the estimate before.
    double waveCenterTarget() const;
    // The wave's outline as drawn now.
    QPainterPath waveShape() const;
    // A row's rectangle and parts in view coordinates at the current scroll position.
    QRectF rowRect(int index) const;
    QRectF closeButtonRect(int index) const;
    QRectF badgeRect(int index) const;
    double scrollOffset() const { return m_scrollOffset; }
    // Ends every running animation at its target.
    void finishAnimations();

    // Whether what lies outside the panel's outline can be see-through (a compositing
    // manager runs). Without one the shadow is left out, and outlineChanged() reports the
    // outline each time it moves, so that the window can be cut to it.
    void setTranslucent(bool translucent);
    bool isTranslucent() const { return m_translucent; }

signals:
    // The panel's outline in view coordinates, while not translucent: on the first frame
    // after that and whenever the wave moves or the view is resized.
    void outlineChanged(const QPainterPath& outline);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Where the view's parts sit, recomputed on resize and when the chrome changes.
    struct Layout {
        QRectF column;
        QRectF searchRow;
        QRectF backChip;
        QRectF groupTitle;
        QRectF banner;
        QRectF viewport;
        QRectF footer;
    };
    struct Fonts {
        QFont headerSearch;
        QFont headerHint;
        QFont capsule;
        QFont groupTitle;
        QFont groupSubtitle;
        QFont footer;
        QFont emptyTitle;
        QFont emptyDetail;
        QFont noMatches;
        QFont banner;
    };
    struct GroupHeader {
        QString title;
        QString subtitle;
        ImageHandle icon;
    };
    // The press being tracked until release: which row (or chrome element) and part.
    struct Press {
        int row = -1;
        SearchViewRow::Part part = SearchViewRow::Part::none;
        bool backChip = false;
        bool capsule = false;
    };

    void makeFonts();
    void makeChildren();
    void forgetShowing();
    void connectModel();
    void observeNotifications();
    void modelChanged();
    void rebuildRows();
    SearchViewRow makeRow(SwitchItem item, int index) const;
    bool allowsClosing(const SwitchItem& item) const;
    void refreshChrome();
    void refreshOverlay();
    void refreshBanner();
    void layoutParts();
    void placeChildren();
    void selectionChanged();
    void scrollToKeyboardSelection(int index, bool movedUp);
    void revealSelection(int index);
    void retarget(bool animated);
    void prepareVisibleRows();
    void startFrames();
    void frameTick();
    void updateSearchFocus(bool focused);
    void searchTextEdited(const QString& text);
    void enterPulsed();
    int clampedSelection() const;
    int& lastScrollIndex();
    double now() const;
    int rowAt(QPointF point) const;
    void updateHover(QPointF point);
    void activatePress(const Press& press);
    void activateRowPart(int row, SearchViewRow::Part part);

    // The painter reads the copied state directly; the outline it draws comes back here.
    friend class SearchViewPainter;
    void reportOutline(const QPainterPath& shape);

    QPointer<SearchViewModel> m_viewModel;
    PanelEdge m_edge;
    Environment m_env;
    double m_scale = 1.0;
    Fonts m_fonts;
    SearchViewRow::Style m_rowStyle;
    RowImages* m_images = nullptr;
    SearchField* m_searchField = nullptr;
    OnboardingPanelOverlay* m_overlay = nullptr;
    std::vector<std::uint64_t> m_notificationTokens;

    // Copied from the model and the environment.
    std::vector<SearchViewRow> m_rows;
    SearchViewContent::ListKind m_listKind = SearchViewContent::ListKind::main;
    GroupHeader m_group;
    int m_selectedIndex = 0;
    QString m_query;
    bool m_hasItems = false;
    bool m_floatingActive = false;
    bool m_showsBanner = false;
    bool m_accessibilityTrusted = false;
    ShortcutMap m_shortcuts;
    std::vector<SearchViewContent::FooterHint> m_footerHints;
    SearchViewContent::EmptyState m_emptyState = SearchViewContent::EmptyState::none;
    QString m_placeholder;
    QString m_capsuleText;
    QString m_backText;
    QString m_backChord;
    mutable QHash<QString, bool> m_closeAllowed; // by row kind and id

    // Layout, scrolling and animation.
    Layout m_layout;
    bool m_measured = false;
    bool m_listChanged = false;
    double m_scrollOffset = 0;
    std::array<int, 3> m_lastScrollIndex{}; // main, tabs, windows
    SpringAnimation m_waveSpring{waveResponse, waveDamping};
    SpringAnimation m_highlightSpring{selectionResponse, selectionDamping};
    SpringAnimation m_searchScale{selectionResponse, selectionDamping};
    QElapsedTimer m_clock;
    QTimer m_frameTimer;

    // Pointer.
    int m_hoverRow = -1;
    SearchViewRow::Part m_hoverPart = SearchViewRow::Part::none;
    Press m_press;
    bool m_firstFrameTraced = false;
    bool m_translucent = true;
    QPainterPath m_reportedOutline; // the last outline reported while not translucent
    SearchViewPainter m_painter{*this};
};

} // namespace ostrevane
