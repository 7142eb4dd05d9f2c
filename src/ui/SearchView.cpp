#include "ui/SearchView.h"

#include "core/sources/BrowserTabEnumerator.h"
#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/onboarding/OnboardingManager.h"
#include "core/shell/RuntimeContext.h"
#include "core/shell/TimingTrace.h"
#include "core/platform/Accessibility.h"
#include "core/platform/Dispatcher.h"
#include "ui/OnboardingPanelOverlay.h"
#include "ui/PanelStyle.h"
#include "ui/PanelWaveShape.h"
#include "ui/SearchField.h"
#include "ui/SearchViewLayout.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace ostrevane {

namespace {

using PanelStyle::TextRole;
using PanelStyle::white;
using SearchViewContent::ListKind;

constexpr double rowInset = 8;
constexpr double searchRowHeight = 34;
constexpr double mainSearchRowTop = 11;
constexpr double backChipTop = 12;
constexpr double backChipHeight = 24;
constexpr double groupTitleTop = 44;
constexpr double detailSearchRowTop = 104;
constexpr double bannerHeight = 26;
// The search field grows from this scale to full size when search turns on.
constexpr double searchScaleFrom = 0.94;

QString localized(const char* english) { return Localization::shared().string(english); }

QString closeRowKey(const SwitchItem& item)
{
    return QString::number(static_cast<int>(item.kind())) + item.id().toString();
}

double headerBottom(ListKind list)
{
    return SearchViewLayout::metrics(list != ListKind::main).top;
}

} // namespace

SearchView::Environment SearchView::Environment::fromRuntime()
{
    RuntimeContext& context = RuntimeContext::current();
    Environment env;
    env.dispatcher = &context.dispatcher();
    env.notifications = &context.notifications();
    env.onboarding = &OnboardingManager::shared();
    env.accessibilityTrusted = [] { return RuntimeContext::current().accessibility().isProcessTrusted(); };
    env.runningBrowserNames = [] { return BrowserTabEnumerator::runningBrowserNames(); };
    env.resolvedShortcuts = [] { return ShortcutStore::allResolved(); };
    env.fontSize = PanelSettings::fontSize();
    env.images = RowImages::sharedSources();
    return env;
}

SearchView::SearchView(SearchViewModel& viewModel, PanelEdge edge, QWidget* parent)
    : SearchView(viewModel, edge, Environment::fromRuntime(), parent)
{
}

SearchView::SearchView(SearchViewModel& viewModel, PanelEdge edge, Environment environment, QWidget* parent)
    : QWidget(parent)
    , m_edge(edge)
    , m_env(std::move(environment))
    , m_scale(PanelStyle::fontScale(m_env.fontSize))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_clock.start();
    m_frameTimer.setInterval(frameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &SearchView::frameTick);
    m_shortcuts = m_env.resolvedShortcuts ? m_env.resolvedShortcuts() : ShortcutMap{};
    makeFonts();
    makeChildren();
    observeNotifications();
    present(viewModel, edge);
}

SearchView::~SearchView()
{
    if (m_env.notifications) {
        for (const auto token : m_notificationTokens)
            m_env.notifications->removeObserver(token);
    }
}

// The panel's window lives as long as the program and shows one showing's model after
// another: what the last showing left (scroll position, hover, closing marks, pictures,
// springs in flight, the search text) does not carry over.
void SearchView::present(SearchViewModel& viewModel, PanelEdge edge)
{
    if (m_viewModel)
        disconnect(m_viewModel, nullptr, this, nullptr);
    m_viewModel = &viewModel;
    m_edge = edge;
    forgetShowing();
    connectModel();
    m_selectedIndex = viewModel.selectedIndex();
    modelChanged();
    retarget(false);
}

void SearchView::forgetShowing()
{
    m_frameTimer.stop();
    m_closeAllowed.clear();
    m_listKind = ListKind::main;
    m_listChanged = false;
    m_scrollOffset = 0;
    m_lastScrollIndex = {};
    m_searchScale.reset(1.0);
    m_hoverRow = -1;
    m_hoverPart = SearchViewRow::Part::none;
    m_press = {};
    m_firstFrameTraced = false;
    setToolTip(QString());
    if (m_searchField->hasFocus())
        setFocus(Qt::OtherFocusReason);
    // Thumbnails are taken afresh each showing; the caches behind them keep what is current.
    delete m_images;
    m_images = new RowImages(m_env.images, this);
    connect(m_images, &RowImages::imageLoaded, this, qOverload<>(&QWidget::update));
}

void SearchView::makeFonts()
{
    const double dpi = logicalDpiY();
    auto font = [&](TextRole role, QFont::Weight weight) { return PanelStyle::font(role, m_scale, weight, dpi); };
    m_rowStyle.title = font(TextRole::rowTitle, QFont::Medium);
    m_rowStyle.tabTitle = font(TextRole::tabRowTitle, QFont::Medium);
    m_rowStyle.activeTabTitle = font(TextRole::tabRowTitle, QFont::DemiBold);
    m_rowStyle.subtitle = font(TextRole::rowSubtitle, QFont::Normal);
    m_rowStyle.badge = font(TextRole::countBadge, QFont::DemiBold);
    m_rowStyle.iconBadge = font(TextRole::iconBadge, QFont::Bold);
    m_rowStyle.closeHitArea = PanelStyle::scaledSize(TextRole::closeHitArea, m_scale);
    m_rowStyle.closeSymbol = PanelStyle::scaledSize(TextRole::closeSymbol, m_scale);
    m_fonts.headerSearch = font(TextRole::headerSearch, QFont::Normal);
    m_fonts.headerHint = font(TextRole::headerHint, QFont::Medium);
    m_fonts.capsule = font(TextRole::headerCapsule, QFont::Bold);
    m_fonts.groupTitle = font(TextRole::groupTitle, QFont::DemiBold);
    m_fonts.groupSubtitle = font(TextRole::groupSubtitle, QFont::Normal);
    m_fonts.footer = font(TextRole::footerHint, QFont::Medium);
    m_fonts.emptyTitle = font(TextRole::emptyTitle, QFont::Medium);
    m_fonts.emptyDetail = font(TextRole::emptyDetail, QFont::Normal);
    m_fonts.noMatches = font(TextRole::noMatches, QFont::Medium);
    m_fonts.banner = font(TextRole::bannerText, QFont::Medium);
}

void SearchView::makeChildren()
{
    m_searchField = new SearchField(this);
    m_searchField->setFont(m_fonts.headerSearch);
    m_searchField->setStyleSheet(QStringLiteral(
        "QLineEdit{background:transparent;color:rgba(255,255,255,235);border:none;padding:0;"
        "selection-background-color:rgba(10,132,255,170);}"));
    QPalette palette = m_searchField->palette();
    palette.setColor(QPalette::PlaceholderText, white(0.38));
    m_searchField->setPalette(palette);
    m_searchField->hide();
    connect(m_searchField, &QLineEdit::textEdited, this, &SearchView::searchTextEdited);
    m_overlay = new OnboardingPanelOverlay(m_scale, this);
    if (m_env.onboarding) {
        OnboardingManager* onboarding = m_env.onboarding;
        m_overlay->onNext = [onboarding] { onboarding->advance(); };
        m_overlay->onSkip = [onboarding] { onboarding->complete(); };
        connect(onboarding, &OnboardingManager::stageChanged, this, &SearchView::refreshOverlay);
    }
}

void SearchView::connectModel()
{
    SearchViewModel* vm = m_viewModel.data();
    for (auto signal : {&SearchViewModel::itemsChanged, &SearchViewModel::queryChanged,
                        &SearchViewModel::activeTabGroupChanged, &SearchViewModel::activeWindowGroupChanged,
                        &SearchViewModel::closingKeysChanged})
        connect(vm, signal, this, &SearchView::modelChanged);
    connect(vm, &SearchViewModel::itemsChanged, this, &SearchView::refreshBanner);
    connect(vm, &SearchViewModel::searchActiveChanged, this, [this] {
        refreshChrome();
        updateSearchFocus(m_viewModel && m_viewModel->searchActive());
    });
    connect(vm, &SearchViewModel::selectedIndexChanged, this, &SearchView::selectionChanged);
    connect(vm, &SearchViewModel::enterPulseChanged, this, &SearchView::enterPulsed);
}

void SearchView::observeNotifications()
{
    if (!m_env.notifications)
        return;
    QPointer<SearchView> self(this);
    m_notificationTokens.push_back(m_env.notifications->addObserver(Notifications::shortcutsChanged, [self] {
        if (!self)
            return;
        self->m_shortcuts = self->m_env.resolvedShortcuts ? self->m_env.resolvedShortcuts() : ShortcutMap{};
        self->refreshChrome();
    }));
    m_notificationTokens.push_back(m_env.notifications->addObserver(Notifications::languageChanged, [self] {
        if (self)
            self->modelChanged();
    }));
}

// MARK: Copying the model

void SearchView::modelChanged()
{
    if (!m_viewModel)
        return;
    rebuildRows();
    refreshBanner();
    refreshChrome();
    selectionChanged();
}

void SearchView::rebuildRows()
{
    const SearchViewModel& vm = *m_viewModel;
    const ListKind previous = m_listKind;
    m_rows.clear();
    m_group = {};
    if (const auto& tabs = vm.activeTabGroup()) {
        m_listKind = ListKind::tabs;
        m_group = {tabs->appName, SwitchItem(*tabs).subtitle(), tabs->appIcon};
        for (const TabItem& tab : vm.filteredTabs(*tabs))
            m_rows.push_back(makeRow(SwitchItem(tab), static_cast<int>(m_rows.size())));
    } else if (const auto& windows = vm.activeWindowGroup()) {
        m_listKind = ListKind::windows;
        m_group = {windows->appName, SwitchItem(*windows).subtitle(), windows->appIcon};
        for (const WindowItem& window : vm.filteredWindows(*windows))
            m_rows.push_back(makeRow(SwitchItem(window), static_cast<int>(m_rows.size())));
    } else {
        m_listKind = ListKind::main;
        for (const SwitchItem& item : vm.filtered())
            m_rows.push_back(makeRow(item, static_cast<int>(m_rows.size())));
    }
    m_query = vm.query();
    m_hasItems = !vm.items().empty();
    if (m_listKind != previous) {
        // Another list: it starts at its top, and the highlight appears on it without sliding.
        m_scrollOffset = 0;
        m_listChanged = true;
        // Opening or leaving a group takes several model changes; they all belong to it.
        QTimer::singleShot(0, this, [this] { m_listChanged = false; });
    }
}

SearchViewRow SearchView::makeRow(SwitchItem item, int index) const
{
    SearchViewRow row{std::move(item), index};
    row.closeState = m_viewModel->closeState(row.item);
    if (row.item.kind() == SwitchItem::Kind::tabGroup || row.item.kind() == SwitchItem::Kind::windowGroup)
        row.badgeCount = row.item.groupCount();
    row.placementNote = SearchViewContent::windowPlacementNote(row.item);
    return row;
}

// Asking whether a row can be closed reaches the accessibility interface, so each row is
// asked once per showing (ids are fresh per enumeration, so a rebuilt list asks again).
bool SearchView::allowsClosing(const SwitchItem& item) const
{
    const QString key = closeRowKey(item);
    auto it = m_closeAllowed.constFind(key);
    if (it == m_closeAllowed.constEnd())
        it = m_closeAllowed.insert(key, item.closeCapability().allowsClosing());
    return *it;
}

void SearchView::refreshBanner()
{
    if (!m_viewModel)
        return;
    m_accessibilityTrusted = m_env.accessibilityTrusted && m_env.accessibilityTrusted();
    const QStringList browsers = m_env.runningBrowserNames ? m_env.runningBrowserNames() : QStringList{};
    m_showsBanner = SearchViewContent::shouldShowTabPermissionWarning(m_accessibilityTrusted, browsers,
                                                                      m_viewModel->items());
}

void SearchView::refreshChrome()
{
    if (m_viewModel)
        m_floatingActive = !m_viewModel->query().isEmpty() || m_viewModel->searchActive();
    const int selected = clampedSelection();
    const bool onGroup = selected >= 0
        && (m_rows[selected].item.kind() == SwitchItem::Kind::tabGroup
            || m_rows[selected].item.kind() == SwitchItem::Kind::windowGroup);
    m_footerHints = SearchViewContent::footerHints(m_floatingActive, m_listKind, onGroup, m_shortcuts);
    m_emptyState = SearchViewContent::emptyState(m_hasItems, m_rows.empty(), m_query, m_accessibilityTrusted);
    m_placeholder = SearchViewContent::searchPlaceholder(m_listKind, m_group.title);
    m_capsuleText = localized(QT_TRANSLATE_NOOP("Ostrevane", "Enter to search"));
    m_backText = localized(QT_TRANSLATE_NOOP("Ostrevane", "Back"));
    const auto back = m_shortcuts.find(ShortcutAction::back);
    m_backChord = back != m_shortcuts.end() ? back->second.displayString() : QString();
    m_rowStyle.closingText = localized(QT_TRANSLATE_NOOP("Ostrevane", "Closing..."));
    m_rowStyle.notRespondingText = localized(QT_TRANSLATE_NOOP("Ostrevane", "Not responding"));
    m_rowStyle.forceQuitOfferedText =
        localized(QT_TRANSLATE_NOOP("Ostrevane", "Not responding · close again to force quit"));
    m_rowStyle.closeTooltip = SearchViewContent::closeTooltip(m_shortcuts);
    m_searchField->setPlaceholderText(m_placeholder);
    if (m_searchField->text() != m_query)
        m_searchField->setText(m_query);
    refreshOverlay();
    layoutParts();
    update();
}

void SearchView::refreshOverlay()
{
    if (!m_env.onboarding)
        return;
    m_overlay->setContent(OnboardingOverlayContent::forStage(m_env.onboarding->stage(), m_hasItems,
                                                             m_listKind != ListKind::main));
    placeChildren();
}

// MARK: Layout

void SearchView::layoutParts()
{
    Layout& l = m_layout;
    const QRectF panel(QPointF(0, 0), QSizeF(size()));
    l.column = SearchViewLayout::contentColumn(panel, m_edge);
    const QRectF inner = l.column.adjusted(columnPadding, 0, -columnPadding, 0);
    const bool detail = m_listKind != ListKind::main;
    const double searchTop = detail ? detailSearchRowTop : mainSearchRowTop;
    l.searchRow = QRectF(inner.left(), searchTop, inner.width(), searchRowHeight);
    const double chipWidth = QFontMetricsF(m_fonts.headerHint).horizontalAdvance(m_backText) + 34;
    l.backChip = detail ? QRectF(inner.left(), backChipTop, chipWidth, backChipHeight) : QRectF();
    l.groupTitle = detail ? QRectF(inner.left(), groupTitleTop, inner.width(), 52) : QRectF();
    double listTop = headerBottom(m_listKind);
    l.banner = m_showsBanner ? QRectF(inner.left(), listTop, inner.width(), bannerHeight) : QRectF();
    if (m_showsBanner)
        listTop += bannerHeight;
    const double footer = SearchViewLayout::footerHeight * m_scale;
    l.footer = QRectF(l.column.left(), panel.bottom() - footer, l.column.width(), footer);
    l.viewport = QRectF(l.column.left(), listTop, l.column.width(), std::max(0.0, l.footer.top() - listTop));
    const double content = SearchViewLayout::contentHeight(static_cast<int>(m_rows.size()),
                                                           SearchViewLayout::metrics(detail));
    m_scrollOffset = SearchViewLayout::clampedScrollOffset(m_scrollOffset, l.viewport.height(), content);
    placeChildren();
}

void SearchView::placeChildren()
{
    const QRectF row = m_layout.searchRow;
    const double iconSpace = 30;
    m_searchField->setGeometry(QRectF(row.left() + iconSpace, row.top(), row.width() - iconSpace - 10, row.height())
                                   .toAlignedRect());
    m_searchField->setVisible(m_floatingActive && width() > 0);
    if (m_overlay->content()) {
        const int overlayWidth = static_cast<int>(m_layout.column.width() - 2 * rowInset);
        const int overlayHeight = m_overlay->heightForWidth(overlayWidth);
        const int top = static_cast<int>(m_layout.footer.top()) - overlayHeight - 6;
        m_overlay->setGeometry(static_cast<int>(m_layout.column.left() + rowInset), std::max(0, top), overlayWidth,
                               overlayHeight);
        m_overlay->raise();
    }
}

void SearchView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutParts();
    m_measured = true;
    retarget(false);
}

QRectF SearchView::rowRect(int index) const
{
    const auto& list = SearchViewLayout::metrics(m_listKind != ListKind::main);
    const double top = m_layout.viewport.top() + SearchViewLayout::rowTop(index, list) - m_scrollOffset;
    return QRectF(m_layout.column.left() + rowInset, top, m_layout.column.width() - 2 * rowInset,
                  SearchViewLayout::rowHeight);
}

QRectF SearchView::closeButtonRect(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_rows.size()))
        return {};
    return m_rows[index].geometry(rowRect(index), m_rowStyle).close;
}

QRectF SearchView::badgeRect(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_rows.size()))
        return {};
    return m_rows[index].geometry(rowRect(index), m_rowStyle).badge;
}

// MARK: Selection, scrolling and animation

int SearchView::clampedSelection() const
{
    if (m_rows.empty())
        return -1;
    return std::clamp(m_selectedIndex, 0, static_cast<int>(m_rows.size()) - 1);
}

int& SearchView::lastScrollIndex() { return m_lastScrollIndex.at(static_cast<size_t>(m_listKind)); }

double SearchView::now() const { return static_cast<double>(m_clock.nsecsElapsed()) / 1e9; }

void SearchView::selectionChanged()
{
    if (!m_viewModel)
        return;
    const int index = m_viewModel->selectedIndex();
    const bool movedUp = index < m_selectedIndex;
    m_selectedIndex = index;
    // Only the keyboard scrolls by its rule: a hovering pointer must not pull the list under
    // itself. A highlight set otherwise (a group opened on its active tab, a rebuilt list)
    // is still brought into view; the pointer only ever highlights visible rows.
    if (m_viewModel->keyboardClaimed())
        scrollToKeyboardSelection(index, movedUp);
    else
        revealSelection(index);
    refreshChrome();
    retarget(m_measured);
}

void SearchView::scrollToKeyboardSelection(int index, bool movedUp)
{
    const int count = static_cast<int>(m_rows.size());
    if (index < 0 || index >= count)
        return;
    const auto& list = SearchViewLayout::metrics(m_listKind != ListKind::main);
    const double top = SearchViewLayout::rowTop(index, list);
    const double viewport = m_layout.viewport.height();
    // Short lists keep still, unless the panel is too short to show the row at all.
    const bool hidden = !SearchViewLayout::rowFullyVisible(top, m_scrollOffset, viewport);
    if (!SearchViewLayout::shouldScroll(count, index, lastScrollIndex()) && !hidden)
        return;
    lastScrollIndex() = index;
    m_scrollOffset = SearchViewLayout::scrollOffsetShowing(top, viewport, SearchViewLayout::contentHeight(count, list),
                                                           movedUp);
}

void SearchView::revealSelection(int index)
{
    const int count = static_cast<int>(m_rows.size());
    if (index < 0 || index >= count)
        return;
    const auto& list = SearchViewLayout::metrics(m_listKind != ListKind::main);
    const double top = SearchViewLayout::rowTop(index, list);
    const double viewport = m_layout.viewport.height();
    if (SearchViewLayout::rowFullyVisible(top, m_scrollOffset, viewport))
        return;
    m_scrollOffset = SearchViewLayout::scrollOffsetShowing(top, viewport, SearchViewLayout::contentHeight(count, list),
                                                           top < m_scrollOffset);
}

double SearchView::estimatedPanelWaveY() const
{
    return SearchViewLayout::estimatedPanelWaveY(m_selectedIndex, m_listKind != ListKind::main);
}

double SearchView::waveCenterTarget() const
{
    const int selected = clampedSelection();
    if (!m_measured || selected < 0)
        return estimatedPanelWaveY();
    return rowRect(selected).center().y();
}

void SearchView::retarget(bool animated)
{
    const int selected = std::max(clampedSelection(), 0);
    const auto& list = SearchViewLayout::metrics(m_listKind != ListKind::main);
    const double highlight = SearchViewLayout::rowTop(selected, list);
    const double wave = waveCenterTarget();
    prepareVisibleRows();
    if (m_listChanged)
        m_highlightSpring.reset(highlight);
    if (!animated) {
        m_highlightSpring.reset(highlight);
        m_waveSpring.reset(wave);
        update();
        return;
    }
    const double t = now();
    if (m_highlightSpring.target() != highlight)
        m_highlightSpring.setTarget(highlight, t);
    if (m_waveSpring.target() != wave)
        m_waveSpring.setTarget(wave, t);
    startFrames();
}

// Every change of what is in view passes here (scrolling, selection, layout, a new list):
// rows in view get their pictures and their close control.
void SearchView::prepareVisibleRows()
{
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        if (!rowRect(i).intersects(m_layout.viewport))
            continue;
        SearchViewRow& row = m_rows[i];
        m_images->request(row.item);
        if (!row.closeKnown) {
            row.showsClose = m_viewModel && m_viewModel->onClose && allowsClosing(row.item);
            row.closeKnown = true;
        }
    }
}

void SearchView::startFrames()
{
    if (!m_frameTimer.isActive())
        m_frameTimer.start();
    update();
}

void SearchView::frameTick()
{
    update();
    const double t = now();
    if (m_waveSpring.isSettled(t) && m_highlightSpring.isSettled(t) && m_searchScale.isSettled(t))
        m_frameTimer.stop();
}

void SearchView::finishAnimations()
{
    m_highlightSpring.reset(m_highlightSpring.target());
    m_waveSpring.reset(m_waveSpring.target());
    m_searchScale.reset(1.0);
    m_frameTimer.stop();
    update();
}

void SearchView::enterPulsed()
{
    // The field (or capsule) gives a small bounce for each Return the panel acts on.
    m_searchScale.reset(searchScaleFrom);
    m_searchScale.setTarget(1.0, now());
    startFrames();
}

// MARK: Search field

void SearchView::updateSearchFocus(bool focused)
{
    if (!focused) {
        if (m_searchField->hasFocus())
            setFocus(Qt::OtherFocusReason);
        return;
    }
    // The field appears with this change; focus it once it is shown, on the next turn.
    QPointer<SearchView> self(this);
    if (m_env.dispatcher) {
        m_env.dispatcher->async([self] {
            if (self && self->m_searchField->isVisible())
                self->m_searchField->setFocus(Qt::OtherFocusReason);
        });
    }
}

void SearchView::searchTextEdited(const QString& text)
{
    if (m_viewModel)
        m_viewModel->setQuery(text);
}

void SearchView::keyPressEvent(QKeyEvent* event)
{
    // Typed text goes to the search field even before it has focus (Option-held chords
    // are shortcuts and never typed).
    const auto typingModifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    const QString text = event->text();
    if (!m_viewModel || typingModifiers != Qt::NoModifier || text.isEmpty() || !text.at(0).isPrint()) {
        QWidget::keyPressEvent(event);
        return;
    }
    m_viewModel->setQuery(m_viewModel->query() + text);
    m_searchField->setFocus(Qt::OtherFocusReason);
    m_searchField->end(false);
    event->accept();
}

void SearchView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Prepare the rows for searching once the panel is up, before the first keystroke.
    QPointer<SearchViewModel> vm = m_viewModel;
    if (m_env.dispatcher) {
        m_env.dispatcher->async([vm] {
            if (vm)
                vm->prepareSearch();
        });
    }
}

bool SearchView::focusNextPrevChild(bool /*next*/)
{
    // Tab belongs to the panel's key handling.
    return false;
}

// MARK: Pointer

int SearchView::rowAt(QPointF point) const
{
    if (!m_layout.viewport.contains(point) || (m_overlay->isVisible() && m_overlay->geometry().contains(point.toPoint())))
        return -1;
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        if (rowRect(i).contains(point))
            return i;
    }
    return -1;
}

void SearchView::updateHover(QPointF point)
{
    const int row = rowAt(point);
    const auto part = row >= 0 ? m_rows[row].partAt(rowRect(row), m_rowStyle, point) : SearchViewRow::Part::none;
    if (row != m_hoverRow || part != m_hoverPart) {
        m_hoverRow = row;
        m_hoverPart = part;
        setToolTip(part == SearchViewRow::Part::close ? m_rowStyle.closeTooltip : QString());
        update();
    }
    // The keyboard keeps its highlight until the pointer moves (the mouse-moved monitor
    // then releases the claim before this runs).
    if (m_viewModel && row >= 0 && !m_viewModel->keyboardClaimed() && row != m_viewModel->selectedIndex())
        m_viewModel->setSelectedIndex(row);
}

void SearchView::mouseMoveEvent(QMouseEvent* event)
{
    updateHover(event->position());
    QWidget::mouseMoveEvent(event);
}

void SearchView::leaveEvent(QEvent* event)
{
    m_hoverRow = -1;
    m_hoverPart = SearchViewRow::Part::none;
    update();
    QWidget::leaveEvent(event);
}

void SearchView::mousePressEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    m_press = {};
    if (event->button() == Qt::LeftButton) {
        m_press.row = rowAt(point);
        if (m_press.row >= 0)
            m_press.part = m_rows[m_press.row].partAt(rowRect(m_press.row), m_rowStyle, point);
        m_press.backChip = m_layout.backChip.contains(point);
        m_press.capsule = !m_floatingActive && m_listKind == ListKind::main && m_layout.searchRow.contains(point);
    }
    event->accept();
}

void SearchView::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    const Press press = std::exchange(m_press, Press{});
    if (event->button() != Qt::LeftButton || !m_viewModel)
        return;
    Press released;
    released.row = rowAt(point);
    if (released.row >= 0)
        released.part = m_rows[released.row].partAt(rowRect(released.row), m_rowStyle, point);
    released.backChip = m_layout.backChip.contains(point);
    released.capsule = press.capsule && m_layout.searchRow.contains(point);
    // A click acts where it both started and ended.
    if (press.row == released.row && press.part == released.part && press.backChip == released.backChip)
        activatePress(released);
    event->accept();
}

void SearchView::activatePress(const Press& press)
{
    if (press.backChip) {
        if (m_viewModel->activeTabGroup())
            m_viewModel->closeTabGroup();
        else if (m_viewModel->activeWindowGroup())
            m_viewModel->closeWindowGroup();
        return;
    }
    if (press.capsule) {
        m_viewModel->setEngaged(true);
        m_viewModel->setSearchActive(true);
        return;
    }
    if (press.row >= 0 && press.row < static_cast<int>(m_rows.size()))
        activateRowPart(press.row, press.part);
}

void SearchView::activateRowPart(int row, SearchViewRow::Part part)
{
    const SwitchItem item = m_rows[row].item; // the callbacks may rebuild the rows
    QPointer<SearchViewModel> vm = m_viewModel;
    vm->setSelectedIndex(row);
    switch (part) {
    case SearchViewRow::Part::close:
        if (vm && vm->onClose)
            vm->onClose(item);
        return;
    case SearchViewRow::Part::badge:
        if (item.kind() == SwitchItem::Kind::tabGroup)
            vm->openTabGroup(item, false);
        else
            vm->openWindowGroup(item, false);
        return;
    case SearchViewRow::Part::body:
        if (vm && vm->onSelect)
            vm->onSelect(item);
        return;
    case SearchViewRow::Part::none:
        return;
    }
}

void SearchView::wheelEvent(QWheelEvent* event)
{
    const double delta = !event->pixelDelta().isNull() ? event->pixelDelta().y()
                                                       : event->angleDelta().y() / 120.0 * SearchViewLayout::rowHeight;
    const auto& list = SearchViewLayout::metrics(m_listKind != ListKind::main);
    const double content = SearchViewLayout::contentHeight(static_cast<int>(m_rows.size()), list);
    m_scrollOffset = SearchViewLayout::clampedScrollOffset(m_scrollOffset - delta, m_layout.viewport.height(), content);
    retarget(true);
    updateHover(event->position());
    event->accept();
}

// MARK: Painting

QPainterPath SearchView::waveShape() const
{
    PanelWaveShape shape{m_edge, m_waveSpring.value(now())};
    return shape.path(QRectF(QPointF(0, 0), QSizeF(size())));
}

void SearchView::paintEvent(QPaintEvent*)
{
    {
        QPainter painter(this);
        m_painter.paint(painter);
    }
    if (TimingTrace::isEnabled() && !m_firstFrameTraced) {
        m_firstFrameTraced = true;
        TimingTrace::mark("painted", static_cast<qint64>(m_rows.size()));
    }
}

void SearchView::setTranslucent(bool translucent)
{
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    m_reportedOutline = QPainterPath();
    update();
}

void SearchView::reportOutline(const QPainterPath& shape)
{
    if (shape == m_reportedOutline)
        return;
    // The window is cut to the outline before this frame reaches the screen.
    m_reportedOutline = shape;
    emit outlineChanged(shape);
}

} // namespace ostrevane
