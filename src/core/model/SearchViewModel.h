#pragma once

#include "core/model/SwitchItem.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace ostrevane {

class Dispatcher;

// How a row shows that it is being closed.
// A row being closed; or one whose window did not close because its program does not
// respond (and whether closing it again force-quits that program).
enum class RowCloseState { none, closing, notResponding, forceQuitOffered };

// Search compares user-perceived characters, lower-cased (full Unicode mapping) and up to
// canonical equivalence. Each character becomes one 32-bit id: a character that composes to
// a single code point is that code point; any other character (emoji sequences, letters with
// marks that have no precomposed form, CR LF) gets an interned id above the code point range.
// The top bit of a text character's id marks a boundary character (neither letter nor number).
// Ids are only comparable between texts prepared with the same table.
class GraphemeTable {
public:
    static constexpr quint32 boundaryFlag = 0x80000000u;
    static constexpr quint32 characterMask = 0x7FFFFFFFu;

    // Appends the characters of `text` to `out`, in order.
    void append(const QString& text, std::vector<quint32>& out);

private:
    quint32 idOf(QStringView lowerCluster);

    QHash<QString, quint32> m_interned;
};

// The fuzzy match score of a query against one text: each query character is matched at its
// first occurrence after the previous match (query ids carry no boundary flag). Each match
// earns 10, minus 1 per text character skipped since the previous match;
// +8 when it directly follows the previous match, +12 at the start of the text or after a
// boundary character, +6 at the very start; each character after the last match costs 1.
// Absent when the text is empty or does not contain the query's characters in order.
std::optional<int> fuzzyScore(std::span<const quint32> query, std::span<const quint32> text);
// The same for plain strings (prepares both with a table of its own).
std::optional<int> fuzzyScore(const QString& query, const QString& text);
// A field's contribution to an item score: weight × raw score, truncated toward zero.
int weightedScore(double weight, int rawScore);
// An item's score over its (text, weight) fields: the largest contribution among matching
// fields; absent when no field matches.
std::optional<int> itemScore(const QString& query, const std::vector<std::pair<QString, double>>& fields);

// The match fields of a list of elements, prepared once (lower-cased and split) so that each
// keystroke only walks integer arrays.
class PreparedFields {
public:
    using Fields = std::vector<std::pair<QString, double>>;

    PreparedFields() = default;
    // One element per entry of `elements`, in order.
    PreparedFields(const std::vector<Fields>& elements, GraphemeTable& table);

    size_t size() const { return m_firstField.empty() ? 0 : m_firstField.size() - 1; }
    // Element `index`'s item score for a prepared query.
    std::optional<int> score(size_t index, std::span<const quint32> query) const;
    // Indices of the matching elements, best score first, ties in index order.
    std::vector<size_t> ranked(std::span<const quint32> query) const;

private:
    void add(const Fields& fields, GraphemeTable& table);

    struct Field {
        size_t begin = 0;
        size_t length = 0;
        double weight = 1.0;
    };
    std::vector<quint32> m_characters;
    std::vector<Field> m_fields;
    std::vector<size_t> m_firstField; // element i owns fields [m_firstField[i], m_firstField[i + 1])
};

// One cached group list: the query and group it was computed for (absent query = invalid),
// and the group's prepared match texts, kept while the same group is searched.
template <class Element>
struct GroupListCache {
    std::optional<QString> query;
    std::optional<QUuid> groupID;
    std::vector<Element> result;
    std::optional<QUuid> preparedGroupID;
    PreparedFields prepared;
};

// The observable state of one showing of the switcher panel: the list, the query, the
// highlighted row, the open group, the rows being closed and the callbacks through which the
// panel acts. Main thread only. Every assignment to a published field (query, selectedIndex,
// searchActive, activeTabGroup, activeWindowGroup, enterPulse, items, closingKeys) emits that
// field's signal and then `changed()`, even when the value is the same.
class SearchViewModel : public QObject {
    Q_OBJECT

public:
    // How long a row marked as closing shows its closing state.
    static constexpr double closingMarkSeconds = 2.8;

    // `actions` answers whether an application runs (for the empty-query main list);
    // `dispatcher` runs the delayed removal of closing marks.
    SearchViewModel(std::vector<SwitchItem> items, bool showsInactiveAppsInDefaultList,
                    SwitchItemActions& actions, Dispatcher& dispatcher, QObject* parent = nullptr);
    // Uses the current runtime context's actions and dispatcher.
    SearchViewModel(std::vector<SwitchItem> items, bool showsInactiveAppsInDefaultList);

    // Published fields.
    const QString& query() const { return m_query; }
    // Resets the highlight to the first row, engages on a non-empty query (an empty one never
    // disengages) and invalidates the list caches.
    void setQuery(const QString& query);
    int selectedIndex() const { return m_selectedIndex; }
    void setSelectedIndex(int index);
    bool searchActive() const { return m_searchActive; }
    void setSearchActive(bool active);
    const std::optional<TabGroupItem>& activeTabGroup() const { return m_activeTabGroup; }
    void setActiveTabGroup(std::optional<TabGroupItem> group);
    const std::optional<WindowGroupItem>& activeWindowGroup() const { return m_activeWindowGroup; }
    void setActiveWindowGroup(std::optional<WindowGroupItem> group);
    int enterPulse() const { return m_enterPulse; }
    void setEnterPulse(int pulse);
    const std::vector<SwitchItem>& items() const { return m_items; }
    const QSet<QString>& closingKeys() const { return m_closingKeys; }

    // Plain fields.
    bool keyboardClaimed() const { return m_keyboardClaimed; }
    void setKeyboardClaimed(bool claimed) { m_keyboardClaimed = claimed; }
    bool engaged() const { return m_engaged; }
    void setEngaged(bool engaged) { m_engaged = engaged; }
    bool showsInactiveAppsInDefaultList() const { return m_showsInactiveAppsInDefaultList; }

    // Set by the panel controller; absent callbacks make the matching operations do nothing.
    std::function<void(const SwitchItem&)> onSelect;
    std::function<void()> onCancel;
    std::function<void(const SwitchItem&)> onClose;

    // Prepares the rows' match texts for searching (once per list). Searching does it
    // on demand; the panel calls it when idle right after showing, so that the first
    // keystroke only filters.
    void prepareSearch() const;

    // The main list for the current query. The reference stays valid for the view model's
    // life and always holds the latest result read.
    const std::vector<SwitchItem>& filtered() const;
    // A group's tabs / windows for the current query; cached per group id.
    const std::vector<TabItem>& filteredTabs(const TabGroupItem& group) const;
    const std::vector<WindowItem>& filteredWindows(const WindowGroupItem& group) const;
    // Length of the visible list: the open tab group's tabs, else the open window group's
    // windows, else the main list.
    int visibleCount() const;
    bool isInDetailView() const { return m_activeTabGroup || m_activeWindowGroup; }
    // The visible list's element at `index` (tabs as tab rows, windows as window rows);
    // absent when `index` lies outside the list.
    std::optional<SwitchItem> visibleItem(int index) const;
    // The element at `selectedIndex` clamped into the list; absent when the list is empty.
    std::optional<SwitchItem> selectedItem() const;
    RowCloseState closeState(const SwitchItem& item) const;

    // Hands the selected item to `onSelect`; nothing when the list is empty or no callback.
    void commit();
    // Opens a tab-group row's tabs (highlighting its active tab) / a window-group row's
    // windows (highlighting the first); rows of other cases are ignored.
    void openTabGroup(const SwitchItem& row, bool engage);
    void openWindowGroup(const SwitchItem& row, bool engage);
    // Back to the main list, highlight on its first row, query cleared.
    void closeTabGroup();
    void closeWindowGroup();
    // Replaces the list after a rebuild: an open group is swapped for the rebuilt group of the
    // same browser or application (kept as it is when that one is gone), the caches are
    // invalidated and the highlight stays on the same row (by its rowKey), wherever the
    // rebuild put it; when that row has gone, the row now at its place (or the last one) is
    // highlighted. An open tab group still follows the browser's active tab until the user
    // moves the highlight.
    void updateItems(std::vector<SwitchItem> items);
    // Shows `item` (by its rowKey) as closing for `closingMarkSeconds`. Marking a key again
    // while it is marked does not extend it: the first mark's timer removes it.
    void markClosing(const SwitchItem& item);
    // Shows a window row whose program does not respond as such for the rest of the
    // showing; `state` no removes the mark.
    void markNotResponding(const SwitchItem& item, HungWindow state);

    // Moves the highlight by `step` rows, wrapping at both ends, and claims it for the
    // keyboard; nothing happens on an empty visible list.
    void moveSelection(int step);
    // The pointer moved over the panel: hovering owns the highlight again.
    void mouseMoved() { m_keyboardClaimed = false; }
    // The highlight a showing starts with: `offset` wrapped into the number of items when
    // there are at least 2 items, else the first row.
    void applyInitialOffset(int offset);

signals:
    void queryChanged();
    void selectedIndexChanged();
    void searchActiveChanged();
    void activeTabGroupChanged();
    void activeWindowGroupChanged();
    void enterPulseChanged();
    void itemsChanged();
    void closingKeysChanged();
    // After any of the signals above.
    void changed();

private:
    void publish(void (SearchViewModel::*fieldSignal)());
    void invalidateCaches();
    void removeClosingKey(const QString& key);
    // Returns whether the highlight followed the rebuilt tab group's active tab.
    bool adoptRebuiltGroups();
    std::optional<int> visibleIndexOf(const QString& rowKey) const;
    void leaveGroup();
    std::vector<SwitchItem> defaultList() const;
    std::vector<SwitchItem> searchResults() const;

    std::vector<SwitchItem> m_items;
    QString m_query;
    int m_selectedIndex = 0;
    bool m_searchActive = false;
    std::optional<TabGroupItem> m_activeTabGroup;
    std::optional<WindowGroupItem> m_activeWindowGroup;
    int m_enterPulse = 0;
    bool m_keyboardClaimed = false;
    bool m_engaged = false;
    QSet<QString> m_closingKeys;
    QHash<QString, HungWindow> m_notResponding; // by rowKey
    const bool m_showsInactiveAppsInDefaultList;
    SwitchItemActions& m_actions;
    Dispatcher& m_dispatcher;

    // List caches; an absent query means invalid.
    mutable std::optional<QString> m_cachedFilteredQuery;
    mutable std::vector<SwitchItem> m_cachedFilteredResult;
    mutable GroupListCache<TabItem> m_cachedTabs;
    mutable GroupListCache<WindowItem> m_cachedWindows;

    // Prepared match texts of `items`, made at the first search after each replacement.
    mutable GraphemeTable m_graphemes;
    mutable std::optional<PreparedFields> m_mainFields;
};

} // namespace ostrevane
