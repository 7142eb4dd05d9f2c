#include "core/model/SearchViewModel.h"

#include "core/shell/RuntimeContext.h"
#include "core/platform/Dispatcher.h"

#include <QPointer>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace ostrevane {

namespace {

// Interned characters are numbered after the last Unicode code point.
constexpr quint32 firstInternedID = 0x110000;

constexpr int matchPoints = 10;
constexpr int runBonus = 8;
constexpr int boundaryBonus = 12;
constexpr int textStartBonus = 6;

quint32 withBoundary(quint32 id, bool isBoundary)
{
    return isBoundary ? (id | GraphemeTable::boundaryFlag) : id;
}

// Code units that always form a character of their own (no neighbour joins them),
// whose full lower-case form is the single code point QChar::toLower gives, and which
// canonical composition leaves unchanged. Texts made only of these skip the grapheme
// segmentation, which dominates preparing a long list. CR is excluded (it joins a
// following LF), and so is U+0130, whose lower-case form is two code points.
bool isStandaloneUnit(char16_t u)
{
    if (u < 0x300)
        return u != u'\r' && u != 0x130;
    if (u >= 0x400 && u <= 0x4FF) // Cyrillic, without its combining marks
        return u < 0x483 || u > 0x489;
    if (u >= 0x3000 && u <= 0x303F) // CJK punctuation, without its tone marks
        return u < 0x302A || u > 0x302F;
    struct Range {
        char16_t first, last;
    };
    static constexpr Range ranges[] = {
        {0x1E00, 0x1EFF}, // Latin Extended Additional (Vietnamese)
        {0x2010, 0x2027}, // dashes, quotes, bullets, ellipsis
        {0x2030, 0x205E}, // per mille, primes, other punctuation
        {0x3041, 0x3096}, // Hiragana letters
        {0x30A1, 0x30FA}, // Katakana letters
        {0x4E00, 0x9FFF}, // CJK unified ideographs
        {0xAC00, 0xD7A3}, // Hangul syllables (no conjoining jamo)
        {0xFF01, 0xFF5E}, // fullwidth ASCII
    };
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [u](const Range& r) { return u >= r.first && u <= r.last; });
}

bool isStandaloneText(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return isStandaloneUnit(c.unicode()); });
}

void appendStandalone(const QString& text, std::vector<quint32>& out)
{
    for (QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit < 0x80) {
            const char16_t lower = (unit >= u'A' && unit <= u'Z') ? char16_t(unit - u'A' + u'a') : unit;
            const bool isAlnum = (lower >= u'a' && lower <= u'z') || (lower >= u'0' && lower <= u'9');
            out.push_back(withBoundary(lower, !isAlnum));
            continue;
        }
        const char32_t lower = QChar::toLower(char32_t(unit));
        out.push_back(withBoundary(lower, !QChar::isLetterOrNumber(lower)));
    }
}

// Position of the group's first tab that is active in the browser's front window.
std::optional<int> activeTabPosition(const TabGroupItem& group)
{
    const auto it = std::find_if(group.tabs.begin(), group.tabs.end(),
                                 [](const TabItem& tab) { return tab.isActiveInFrontWindow; });
    if (it == group.tabs.end())
        return std::nullopt;
    return static_cast<int>(it - group.tabs.begin());
}

// The first row of case T in `items` for which `matches` holds.
template <class T, class Predicate>
std::optional<T> firstRow(const std::vector<SwitchItem>& items, Predicate matches)
{
    for (const SwitchItem& item : items) {
        if (const T* payload = item.as<T>(); payload && matches(*payload))
            return *payload;
    }
    return std::nullopt;
}

int positiveRemainder(long long value, int count)
{
    return static_cast<int>(((value % count) + count) % count);
}

template <class Element>
std::optional<SwitchItem> elementAt(const std::vector<Element>& list, int index)
{
    if (index < 0 || index >= static_cast<int>(list.size()))
        return std::nullopt;
    return SwitchItem(list[static_cast<size_t>(index)]);
}

PreparedFields::Fields tabFields(const TabItem& tab)
{
    // Inside a group the address is searched as stored, without removing its scheme.
    return {{tab.title, 1.0}, {tab.url, 0.6}};
}

PreparedFields::Fields windowFields(const WindowItem& window)
{
    return {{window.title, 1.0}};
}

// A query's characters without the boundary marks (only text characters carry them).
std::vector<quint32> queryCharacters(const QString& query, GraphemeTable& table)
{
    std::vector<quint32> characters;
    table.append(query, characters);
    for (quint32& c : characters)
        c &= GraphemeTable::characterMask;
    return characters;
}

template <class Element>
const std::vector<Element>& groupList(GroupListCache<Element>& cache, const std::vector<Element>& elements,
                                      const QUuid& groupID, const QString& query, GraphemeTable& table,
                                      PreparedFields::Fields (*fieldsOf)(const Element&))
{
    if (cache.query && *cache.query == query && cache.groupID == groupID)
        return cache.result;
    if (query.isEmpty()) {
        cache.result = elements;
    } else {
        if (cache.preparedGroupID != groupID) {
            std::vector<PreparedFields::Fields> fields;
            fields.reserve(elements.size());
            for (const Element& element : elements)
                fields.push_back(fieldsOf(element));
            cache.prepared = PreparedFields(fields, table);
            cache.preparedGroupID = groupID;
        }
        const std::vector<size_t> order = cache.prepared.ranked(queryCharacters(query, table));
        cache.result.clear();
        cache.result.reserve(order.size());
        for (size_t index : order)
            cache.result.push_back(elements[index]);
    }
    cache.query = query;
    cache.groupID = groupID;
    return cache.result;
}

} // namespace

// MARK: - Matching

void GraphemeTable::append(const QString& text, std::vector<quint32>& out)
{
    if (isStandaloneText(text)) {
        appendStandalone(text, out);
        return;
    }
    const QString lower = text.toLower();
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, lower);
    qsizetype from = 0;
    for (qsizetype to = finder.toNextBoundary(); to > from; to = finder.toNextBoundary()) {
        out.push_back(idOf(QStringView(lower).sliced(from, to - from)));
        from = to;
    }
}

quint32 GraphemeTable::idOf(QStringView lowerCluster)
{
    // A lone code point without a canonical decomposition is already in composed form.
    const char32_t first = lowerCluster.front().isHighSurrogate() && lowerCluster.size() > 1
        ? QChar::surrogateToUcs4(lowerCluster[0], lowerCluster[1])
        : lowerCluster.front().unicode();
    const qsizetype firstLength = QChar::requiresSurrogates(first) ? 2 : 1;
    if (lowerCluster.size() == firstLength && QChar::decompositionTag(first) != QChar::Canonical)
        return withBoundary(first, !QChar::isLetterOrNumber(first));
    // Canonically equivalent characters share their composed form.
    const QString composed = lowerCluster.toString().normalized(QString::NormalizationForm_C);
    const QList<uint> codePoints = composed.toUcs4();
    const bool isBoundary = !QChar::isLetterOrNumber(static_cast<char32_t>(codePoints.front()));
    if (codePoints.size() == 1)
        return withBoundary(codePoints.front(), isBoundary);
    auto it = m_interned.constFind(composed);
    if (it == m_interned.cend())
        it = m_interned.insert(composed, firstInternedID + static_cast<quint32>(m_interned.size()));
    return withBoundary(*it, isBoundary);
}

std::optional<int> fuzzyScore(std::span<const quint32> query, std::span<const quint32> text)
{
    if (text.empty())
        return std::nullopt;
    int score = 0;
    size_t start = 0;
    size_t last = 0;
    bool hasLast = false;
    for (quint32 wanted : query) {
        size_t j = start;
        while (j < text.size() && (text[j] & GraphemeTable::characterMask) != wanted)
            ++j;
        if (j == text.size())
            return std::nullopt;
        score += matchPoints - static_cast<int>(j - start);
        if (hasLast && j == last + 1)
            score += runBonus;
        if (j == 0 || (text[j - 1] & GraphemeTable::boundaryFlag))
            score += boundaryBonus;
        if (j == 0)
            score += textStartBonus;
        last = j;
        hasLast = true;
        start = j + 1;
    }
    return score - static_cast<int>(text.size() - start);
}

std::optional<int> fuzzyScore(const QString& query, const QString& text)
{
    GraphemeTable table;
    std::vector<quint32> preparedText;
    table.append(text, preparedText);
    return fuzzyScore(queryCharacters(query, table), preparedText);
}

int weightedScore(double weight, int rawScore)
{
    return static_cast<int>(weight * rawScore); // truncates toward zero
}

std::optional<int> itemScore(const QString& query, const std::vector<std::pair<QString, double>>& fields)
{
    GraphemeTable table;
    const PreparedFields prepared({fields}, table);
    return prepared.score(0, queryCharacters(query, table));
}

PreparedFields::PreparedFields(const std::vector<Fields>& elements, GraphemeTable& table)
{
    // One allocation for all characters: most texts have one character per UTF-16 unit.
    size_t units = 0;
    size_t fieldCount = 0;
    for (const Fields& fields : elements) {
        fieldCount += fields.size();
        for (const auto& field : fields)
            units += static_cast<size_t>(field.first.size());
    }
    m_characters.reserve(units);
    m_fields.reserve(fieldCount);
    m_firstField.reserve(elements.size() + 1);
    m_firstField.push_back(0);
    for (const Fields& fields : elements)
        add(fields, table);
}

void PreparedFields::add(const Fields& fields, GraphemeTable& table)
{
    for (const auto& [text, weight] : fields) {
        const size_t begin = m_characters.size();
        table.append(text, m_characters);
        m_fields.push_back({begin, m_characters.size() - begin, weight});
    }
    m_firstField.push_back(m_fields.size());
}

std::optional<int> PreparedFields::score(size_t index, std::span<const quint32> query) const
{
    std::optional<int> best;
    for (size_t f = m_firstField[index]; f < m_firstField[index + 1]; ++f) {
        const Field& field = m_fields[f];
        const auto raw = fuzzyScore(query, std::span(m_characters).subspan(field.begin, field.length));
        if (!raw)
            continue;
        const int contribution = weightedScore(field.weight, *raw);
        if (!best || contribution > *best)
            best = contribution;
    }
    return best;
}

std::vector<size_t> PreparedFields::ranked(std::span<const quint32> query) const
{
    std::vector<std::pair<int, size_t>> scored; // (score, origin)
    scored.reserve(size());
    for (size_t i = 0; i < size(); ++i) {
        if (const auto s = score(i, query))
            scored.emplace_back(*s, i);
    }
    // Origins are distinct, so ordering by (score desc, origin asc) is a stable ranking.
    std::sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<size_t> order;
    order.reserve(scored.size());
    for (const auto& entry : scored)
        order.push_back(entry.second);
    return order;
}

// MARK: - View model

SearchViewModel::SearchViewModel(std::vector<SwitchItem> items, bool showsInactiveAppsInDefaultList,
                                 SwitchItemActions& actions, Dispatcher& dispatcher, QObject* parent)
    : QObject(parent)
    , m_items(std::move(items))
    , m_showsInactiveAppsInDefaultList(showsInactiveAppsInDefaultList)
    , m_actions(actions)
    , m_dispatcher(dispatcher)
{
}

SearchViewModel::SearchViewModel(std::vector<SwitchItem> items, bool showsInactiveAppsInDefaultList)
    : SearchViewModel(std::move(items), showsInactiveAppsInDefaultList, RuntimeContext::current().actions(),
                      RuntimeContext::current().dispatcher())
{
}

void SearchViewModel::publish(void (SearchViewModel::*fieldSignal)())
{
    emit(this->*fieldSignal)();
    emit changed();
}

void SearchViewModel::setQuery(const QString& query)
{
    m_query = query;
    m_selectedIndex = 0;
    if (!query.isEmpty())
        m_engaged = true;
    invalidateCaches();
    publish(&SearchViewModel::queryChanged);
    publish(&SearchViewModel::selectedIndexChanged);
}

void SearchViewModel::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    publish(&SearchViewModel::selectedIndexChanged);
}

void SearchViewModel::setSearchActive(bool active)
{
    m_searchActive = active;
    publish(&SearchViewModel::searchActiveChanged);
}

void SearchViewModel::setActiveTabGroup(std::optional<TabGroupItem> group)
{
    m_activeTabGroup = std::move(group);
    publish(&SearchViewModel::activeTabGroupChanged);
}

void SearchViewModel::setActiveWindowGroup(std::optional<WindowGroupItem> group)
{
    m_activeWindowGroup = std::move(group);
    publish(&SearchViewModel::activeWindowGroupChanged);
}

void SearchViewModel::setEnterPulse(int pulse)
{
    m_enterPulse = pulse;
    publish(&SearchViewModel::enterPulseChanged);
}

void SearchViewModel::invalidateCaches()
{
    m_cachedFilteredQuery.reset();
    m_cachedTabs.query.reset();
    m_cachedWindows.query.reset();
}

// MARK: Lists

const std::vector<SwitchItem>& SearchViewModel::filtered() const
{
    if (m_cachedFilteredQuery && *m_cachedFilteredQuery == m_query)
        return m_cachedFilteredResult;
    m_cachedFilteredResult = m_query.isEmpty() ? defaultList() : searchResults();
    m_cachedFilteredQuery = m_query;
    return m_cachedFilteredResult;
}

std::vector<SwitchItem> SearchViewModel::defaultList() const
{
    QSet<QString> groupedBundles;
    for (const SwitchItem& item : m_items) {
        if (const auto* group = item.as<WindowGroupItem>())
            groupedBundles.insert(group->appBundleID);
    }
    std::optional<QSet<QString>> running; // read once, when an app row needs it
    std::vector<SwitchItem> list;
    for (const SwitchItem& item : m_items) {
        // Tabs show in the main list only as search results.
        if (item.kind() == SwitchItem::Kind::tab)
            continue;
        if (const auto* window = item.as<WindowItem>();
            window && window->appBundleID && groupedBundles.contains(*window->appBundleID))
            continue;
        if (const auto* app = item.as<AppItem>(); app && !m_showsInactiveAppsInDefaultList) {
            if (!running)
                running = m_actions.runningUserAppIDs();
            if (!running->contains(app->bundleID))
                continue;
        }
        list.push_back(item);
    }
    return list;
}

void SearchViewModel::prepareSearch() const
{
    if (m_mainFields)
        return;
    std::vector<PreparedFields::Fields> fields;
    fields.reserve(m_items.size());
    for (const SwitchItem& item : m_items)
        fields.push_back(item.matchFields());
    m_mainFields.emplace(fields, m_graphemes);
}

std::vector<SwitchItem> SearchViewModel::searchResults() const
{
    prepareSearch();
    const std::vector<size_t> order = m_mainFields->ranked(queryCharacters(m_query, m_graphemes));
    std::vector<SwitchItem> results;
    results.reserve(order.size());
    for (size_t index : order)
        results.push_back(m_items[index]);
    return results;
}

const std::vector<TabItem>& SearchViewModel::filteredTabs(const TabGroupItem& group) const
{
    return groupList(m_cachedTabs, group.tabs, group.id, m_query, m_graphemes, &tabFields);
}

const std::vector<WindowItem>& SearchViewModel::filteredWindows(const WindowGroupItem& group) const
{
    return groupList(m_cachedWindows, group.windows, group.id, m_query, m_graphemes, &windowFields);
}

int SearchViewModel::visibleCount() const
{
    if (m_activeTabGroup)
        return static_cast<int>(filteredTabs(*m_activeTabGroup).size());
    if (m_activeWindowGroup)
        return static_cast<int>(filteredWindows(*m_activeWindowGroup).size());
    return static_cast<int>(filtered().size());
}

std::optional<SwitchItem> SearchViewModel::visibleItem(int index) const
{
    if (m_activeTabGroup)
        return elementAt(filteredTabs(*m_activeTabGroup), index);
    if (m_activeWindowGroup)
        return elementAt(filteredWindows(*m_activeWindowGroup), index);
    return elementAt(filtered(), index);
}

std::optional<SwitchItem> SearchViewModel::selectedItem() const
{
    const int count = visibleCount();
    if (count == 0)
        return std::nullopt;
    return visibleItem(std::clamp(m_selectedIndex, 0, count - 1));
}

RowCloseState SearchViewModel::closeState(const SwitchItem& item) const
{
    const QString key = item.rowKey();
    switch (m_notResponding.value(key, HungWindow::no)) {
    case HungWindow::notResponding:
        return RowCloseState::notResponding;
    case HungWindow::forceQuitOffered:
        return RowCloseState::forceQuitOffered;
    case HungWindow::no:
        break;
    }
    return m_closingKeys.contains(key) ? RowCloseState::closing : RowCloseState::none;
}

// MARK: Actions

void SearchViewModel::commit()
{
    if (!onSelect)
        return;
    if (const auto item = selectedItem()) {
        const auto select = onSelect; // the callback may replace itself
        select(*item);
    }
}

void SearchViewModel::openTabGroup(const SwitchItem& row, bool engage)
{
    const auto* group = row.as<TabGroupItem>();
    if (!group)
        return;
    if (engage)
        m_engaged = true;
    setActiveTabGroup(*group);
    setSearchActive(false);
    setQuery(QString());
    setSelectedIndex(activeTabPosition(*group).value_or(0));
}

void SearchViewModel::openWindowGroup(const SwitchItem& row, bool engage)
{
    const auto* group = row.as<WindowGroupItem>();
    if (!group)
        return;
    if (engage)
        m_engaged = true;
    setActiveWindowGroup(*group);
    setSearchActive(false);
    setQuery(QString());
    setSelectedIndex(0);
}

void SearchViewModel::closeTabGroup()
{
    setActiveTabGroup(std::nullopt);
    leaveGroup();
}

void SearchViewModel::closeWindowGroup()
{
    setActiveWindowGroup(std::nullopt);
    leaveGroup();
}

void SearchViewModel::leaveGroup()
{
    setSearchActive(false);
    setSelectedIndex(0);
    setQuery(QString());
}

// The highlight stays on its row's target wherever the rebuild puts it (a quick Alt+Tab
// must open what the user saw highlighted); when that has gone, the row that takes its
// place is highlighted.
void SearchViewModel::updateItems(std::vector<SwitchItem> items)
{
    const std::optional<SwitchItem> highlighted = selectedItem();
    m_items = std::move(items);
    m_mainFields.reset();
    invalidateCaches(); // before observers read the new list
    publish(&SearchViewModel::itemsChanged);
    const bool followedActiveTab = adoptRebuiltGroups();
    invalidateCaches();
    const int count = visibleCount();
    std::optional<int> kept;
    if (highlighted && !followedActiveTab)
        kept = visibleIndexOf(highlighted->rowKey());
    setSelectedIndex(kept.value_or(std::min(m_selectedIndex, count > 0 ? count - 1 : 0)));
}

std::optional<int> SearchViewModel::visibleIndexOf(const QString& rowKey) const
{
    const int count = visibleCount();
    for (int index = 0; index < count; ++index)
        if (visibleItem(index)->rowKey() == rowKey)
            return index;
    return std::nullopt;
}

bool SearchViewModel::adoptRebuiltGroups()
{
    bool followedActiveTab = false;
    if (m_activeTabGroup) {
        const QString browser = m_activeTabGroup->browserBundleID;
        if (auto rebuilt = firstRow<TabGroupItem>(m_items, [&](const TabGroupItem& g) { return g.browserBundleID == browser; }))
            setActiveTabGroup(std::move(rebuilt));
        // Follow the browser's active tab unless the user has taken over the highlight.
        if (m_query.isEmpty() && !m_keyboardClaimed) {
            if (const auto position = activeTabPosition(*m_activeTabGroup)) {
                setSelectedIndex(*position);
                followedActiveTab = true;
            }
        }
    }
    if (m_activeWindowGroup) {
        const QString app = m_activeWindowGroup->appBundleID;
        if (auto rebuilt = firstRow<WindowGroupItem>(m_items, [&](const WindowGroupItem& g) { return g.appBundleID == app; }))
            setActiveWindowGroup(std::move(rebuilt));
    }
    return followedActiveTab;
}

void SearchViewModel::markClosing(const SwitchItem& item)
{
    // By row, not by recency key: closing one of two terminals titled "bash" marks one.
    const QString key = item.rowKey();
    m_closingKeys.insert(key);
    publish(&SearchViewModel::closingKeysChanged);
    const QPointer<SearchViewModel> self(this);
    m_dispatcher.asyncAfter(closingMarkSeconds, [self, key] {
        if (self)
            self->removeClosingKey(key);
    });
}

void SearchViewModel::markNotResponding(const SwitchItem& item, HungWindow state)
{
    if (state == HungWindow::no)
        m_notResponding.remove(item.rowKey());
    else
        m_notResponding.insert(item.rowKey(), state);
    publish(&SearchViewModel::closingKeysChanged);
}

void SearchViewModel::removeClosingKey(const QString& key)
{
    m_closingKeys.remove(key);
    publish(&SearchViewModel::closingKeysChanged);
}

// MARK: Selection

void SearchViewModel::moveSelection(int step)
{
    const int count = visibleCount();
    if (count == 0)
        return;
    m_keyboardClaimed = true;
    setSelectedIndex(positiveRemainder(static_cast<long long>(m_selectedIndex) + step, count));
}

void SearchViewModel::applyInitialOffset(int offset)
{
    const int count = static_cast<int>(m_items.size());
    setSelectedIndex(count >= 2 ? positiveRemainder(offset, count) : 0);
}

} // namespace ostrevane
