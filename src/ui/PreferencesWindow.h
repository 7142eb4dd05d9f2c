#pragma once

#include "core/preferences/PreferencesPane.h"
#include "ui/PreferencesEnvironment.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>

class QListWidget;
class QStackedWidget;

namespace ostrevane {

class PreferencesPaneView;

// The settings window ("Ostrevane Preferences", 760 × 560 and never smaller): a sidebar
// of the five panes and the selected pane beside it. An ordinary managed window, so the
// window manager focuses it and task bars list it while it is open. However it closes
// (its close button, Ctrl+W), `onClose` runs once; the owner forgets the window there
// (with deleteLater: the window is inside its close). Texts follow the interface
// language at once. Main thread only.
class PreferencesWindowController : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentWidth = 760;
    static constexpr int contentHeight = 560;

    PreferencesWindowController(PreferencesPane initialPane, PreferencesEnvironment environment,
                                std::function<void()> onClose, QWidget* parent = nullptr);
    ~PreferencesWindowController() override;

    PreferencesPane selection() const { return m_selection; }
    // Switches to `pane` (what "Ostrevane.openPreferencesPane" does to an open window).
    void select(PreferencesPane pane);
    PreferencesPaneView* pane(PreferencesPane pane) const;
    QListWidget* sidebar() const { return m_sidebar; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildSidebar();
    void retranslate();
    void centerOnScreen();

    QListWidget* m_sidebar;
    QStackedWidget* m_stack;
    std::map<PreferencesPane, PreferencesPaneView*> m_panes;
    PreferencesPane m_selection;
    std::uint64_t m_languageToken = 0;
    std::function<void()> m_onClose;
};

} // namespace ostrevane
