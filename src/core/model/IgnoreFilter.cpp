#include "core/model/IgnoreFilter.h"

#include "core/shell/NotificationCenter.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/model/SwitchItem.h"
#include "core/preferences/UserDefaults.h"

#include <QHash>
#include <QRegularExpression>

namespace ostrevane {

namespace {

// Compiled patterns are kept per thread, keyed by their text: the lists are re-read at
// every use, but compiling the same text again for each row would be wasteful. A
// thread-local table needs no lock and never shares a compiled pattern across threads.
constexpr qsizetype kMaxCachedPatterns = 256;

QRegularExpression compiled(const QString& pattern)
{
    thread_local QHash<QString, QRegularExpression> cache;
    auto it = cache.constFind(pattern);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() >= kMaxCachedPatterns)
        cache.clear();
    QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::UseUnicodePropertiesOption);
    (void)expression.isValid(); // compiles now, once
    cache.insert(pattern, expression);
    return expression;
}

// A stored array whose elements are all strings; anything else counts as absent.
std::optional<QStringList> readStringArray(const QString& key)
{
    const std::optional<QVariantList> array = RuntimeContext::current().defaults().array(key);
    if (!array)
        return std::nullopt;
    QStringList strings;
    strings.reserve(array->size());
    for (const QVariant& element : *array) {
        if (element.typeId() != QMetaType::QString)
            return std::nullopt;
        strings.append(element.toString());
    }
    return strings;
}

void storeStringArray(const QString& key, const QStringList& strings)
{
    QVariantList array;
    array.reserve(strings.size());
    for (const QString& s : strings)
        array.append(s);
    RuntimeContext::current().defaults().set(key, array);
    NotificationCenter::shared().post(Notifications::ignoreFilterChanged);
}

} // namespace

QStringList IgnoreFilter::ignoredAppBundleIDs()
{
    return readStringArray(appBundleIDsKey).value_or(RuntimeContext::current().profile().defaultIgnoredAppBundleIDs);
}

QStringList IgnoreFilter::ignoredAppRegex() { return readStringArray(appRegexKey).value_or(QStringList()); }

QStringList IgnoreFilter::ignoredWindowRegex() { return readStringArray(windowRegexKey).value_or(QStringList()); }

void IgnoreFilter::setIgnoredAppBundleIDs(const QStringList& bundleIDs) { storeStringArray(appBundleIDsKey, bundleIDs); }

void IgnoreFilter::setIgnoredAppRegex(const QStringList& patterns) { storeStringArray(appRegexKey, patterns); }

void IgnoreFilter::setIgnoredWindowRegex(const QStringList& patterns) { storeStringArray(windowRegexKey, patterns); }

bool IgnoreFilter::anyPatternMatches(const QStringList& patterns, const QString& text)
{
    for (const QString& pattern : patterns) {
        if (pattern.isEmpty())
            continue;
        const QRegularExpression expression = compiled(pattern);
        if (expression.isValid() && expression.match(text).hasMatch())
            return true;
    }
    return false;
}

bool IgnoreFilter::shouldIgnoreApp(const std::optional<QString>& bundleID, const QString& name)
{
    if (bundleID && ignoredAppBundleIDs().contains(*bundleID, Qt::CaseSensitive))
        return true;
    return anyPatternMatches(ignoredAppRegex(), name);
}

bool IgnoreFilter::shouldIgnoreWindow(const std::optional<QString>& appBundleID, const QString& appName,
                                      const QString& title)
{
    if (shouldIgnoreApp(appBundleID, appName))
        return true;
    return !title.isEmpty() && anyPatternMatches(ignoredWindowRegex(), title);
}

bool IgnoreFilter::shouldIgnoreWindow(const WindowItem& window)
{
    return shouldIgnoreWindow(window.appBundleID, window.appName, window.title);
}

} // namespace ostrevane
