#pragma once

#include "core/platform/Accessibility.h"
#include "platform/x11/AtspiTree.h"

#include <QSet>

#include <functional>
#include <mutex>

namespace ostrevane {

// The accessibility port with browsers' tab strips read from the accessibility bus.
// Everything about applications and their windows is answered by `windows` (the X11
// port); what lies inside a window comes from AT-SPI:
// - a window's "AXChildren" are the children of the AT-SPI frame of the window's process
//   whose name equals the window's title (the first such frame when titles repeat);
// - on those objects: "AXRole" from the AT-SPI role (page tab list "AXTabGroup" while
//   it is showing, page tab "AXRadioButton", push button "AXButton", table cell
//   "AXCell"; other roles read as absent), "AXTitle" the name, "AXDescription" the description, "AXSelected" and
//   "AXFocused" from the state set, "AXChildren" the children, except that a web
//   document and a page tab read as having none (a page's own tab lists and a tab's
//   mute and close buttons are not the browser's tabs);
// - a selected tab's name is cut back to the page title its window shows when the
//   browser appended status words to it ("Page - Memory usage - 22.5 MB"); other tabs'
//   names lose the status words withoutStatusWords() knows;
// - "AXPress" runs an object's default action, setting "AXSelected" true selects it in
//   its parent; other writes and actions on AT-SPI objects do nothing.
// Where no accessibility bus answers, or a process publishes no tree, windows have no
// children, and the log says so once (once per process for the latter).
class AtspiAccessibility : public Accessibility {
public:
    // The process owning a window element of `windows`, none for other elements.
    using WindowOwner = std::function<std::optional<ProcessID>(const AXElement&)>;

    AtspiAccessibility(Accessibility& windows, AtspiTree& tree, WindowOwner ownerOf);

    bool isProcessTrusted() override;
    AXElement createApplication(ProcessID pid) override;
    AXValue copyAttribute(const AXElement& element, const QString& attribute) override;
    void setBool(const AXElement& element, const QString& attribute, bool value) override;
    void perform(const AXElement& element, const QString& action) override;
    std::optional<quint32> windowNumber(const AXElement& element) override;

    // The accessibility vocabulary's role for an AT-SPI role; empty when it has none.
    static QString axRole(quint32 atspiRole);
    // A tab's accessible name without the status words Chromium appends to it in English
    // or Simplified Chinese (" - Audio playing", " - Memory usage - 22.5 MB", several in a
    // row); a name that is nothing but such words is kept whole.
    static QString withoutStatusWords(const QString& tabName);

private:
    struct Node;
    AXValue nodeAttribute(const Node& node, const QString& attribute);
    std::vector<AXElement> windowChildren(const AXElement& window, ProcessID pid);
    std::optional<AtspiNode> frameTitled(const AtspiNode& application, const QString& title);
    std::vector<AXElement> wrap(const std::vector<AtspiNode>& nodes, const QString& windowTitle);
    QString roleOf(const AtspiNode& node);
    std::optional<QString> title(const Node& node);
    std::optional<bool> hasState(const AtspiNode& node, int state);
    void logAction(const AtspiNode& node, const char* action, bool accepted);
    void logOnce(ProcessID pid, bool busMissing);

    Accessibility& m_windows;
    AtspiTree& m_tree;
    WindowOwner m_ownerOf;
    std::mutex m_logLock;
    bool m_busMissingLogged = false;
    QSet<ProcessID> m_treelessLogged;
};

} // namespace ostrevane
