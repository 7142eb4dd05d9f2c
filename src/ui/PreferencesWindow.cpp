#include "ui/PreferencesWindow.h"

#include "core/model/Localization.h"
#include "core/shell/NotificationCenter.h"
#include "core/preferences/PrefColors.h"
#include "core/shell/RuntimeContext.h"
#include "ui/AppearancePane.h"
#include "ui/ExceptionsPane.h"
#include "ui/FeedbackPane.h"
#include "ui/OstrevaneMenuBarIcon.h"
#include "ui/PreferencesView.h"
#include "ui/ShortcutsPane.h"
#include "ui/SymbolIcons.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace ostrevane {

namespace {

constexpr int sidebarWidth = 200;

PreferencesPaneView* makePane(PreferencesPane pane, const PreferencesEnvironment& environment, QWidget* parent)
{
    switch (pane) {
    case PreferencesPane::general:
        return new PreferencesView(environment, parent);
    case PreferencesPane::shortcuts:
        return new ShortcutsPane(environment, parent);
    case PreferencesPane::appearance:
        return new AppearancePane(environment, parent);
    case PreferencesPane::exceptions:
        return new ExceptionsPane(environment, parent);
    case PreferencesPane::feedback:
        break;
    }
    return new FeedbackPane(environment, parent);
}

} // namespace

PreferencesWindowController::PreferencesWindowController(PreferencesPane initialPane,
                                                         PreferencesEnvironment environment,
                                                         std::function<void()> onClose, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_sidebar(new QListWidget(this))
    , m_stack(new QStackedWidget(this))
    , m_selection(initialPane)
    , m_onClose(std::move(onClose))
{
    setObjectName(QStringLiteral("PreferencesWindow"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(PreferencesStyle::styleSheet());
    setMinimumSize(contentWidth, contentHeight);
    resize(contentWidth, contentHeight);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("com.local.ostrevane"), OstrevaneMenuBarIcon::make()));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildSidebar());
    layout->addWidget(m_stack, 1);
    for (const PreferencesPane pane : PreferencesPanes::allCases()) {
        m_panes[pane] = makePane(pane, environment, m_stack);
        m_panes[pane]->orderFocusChain();
        m_stack->addWidget(m_panes[pane]);
    }
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        m_selection = PreferencesPanes::allCases().value(row, PreferencesPane::general);
        m_stack->setCurrentWidget(m_panes.at(m_selection));
    });
    select(initialPane);
    m_sidebar->setFocus(); // a keyboard user starts in the sidebar: the arrows pick a pane

    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    QPointer<PreferencesWindowController> self(this);
    m_languageToken = RuntimeContext::current().notifications().addObserver(Notifications::languageChanged, [self] {
        if (self)
            self->retranslate();
    });
    retranslate();
    centerOnScreen();
}

PreferencesWindowController::~PreferencesWindowController()
{
    if (RuntimeContext::hasCurrent())
        RuntimeContext::current().notifications().removeObserver(m_languageToken);
}

QWidget* PreferencesWindowController::buildSidebar()
{
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("PreferencesSidebar"));
    sidebar->setAttribute(Qt::WA_StyledBackground);
    sidebar->setFixedWidth(sidebarWidth);
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(12, 18, 12, 12);
    m_sidebar->setObjectName(QStringLiteral("PreferencesSidebarList"));
    m_sidebar->setIconSize(QSize(18, 18));
    m_sidebar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const PreferencesPane pane : PreferencesPanes::allCases()) {
        auto* item = new QListWidgetItem(m_sidebar);
        item->setIcon(QIcon(SymbolIcons::pixmap(PreferencesPanes::symbol(pane), 18, PrefColors::primary(), 2.0)));
    }
    column->addWidget(m_sidebar);
    return sidebar;
}

void PreferencesWindowController::select(PreferencesPane pane)
{
    m_sidebar->setCurrentRow(static_cast<int>(PreferencesPanes::allCases().indexOf(pane)));
}

PreferencesPaneView* PreferencesWindowController::pane(PreferencesPane pane) const { return m_panes.at(pane); }

void PreferencesWindowController::retranslate()
{
    setWindowTitle(Localization::shared().string(QT_TRANSLATE_NOOP("Ostrevane", "Ostrevane Preferences")));
    const QList<PreferencesPane> panes = PreferencesPanes::allCases();
    for (int row = 0; row < panes.size(); ++row)
        m_sidebar->item(row)->setText(PreferencesPanes::title(panes.at(row)));
    for (const auto& [pane, view] : m_panes)
        view->retranslate();
}

void PreferencesWindowController::centerOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(contentWidth / 2, contentHeight / 2));
    }
}

void PreferencesWindowController::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (auto onClose = std::exchange(m_onClose, nullptr))
        onClose();
}

} // namespace ostrevane
