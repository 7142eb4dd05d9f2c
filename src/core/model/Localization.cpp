#include "core/model/Localization.h"

#include "core/shell/NotificationCenter.h"
#include "core/shell/PlatformProfile.h"
#include "core/shell/RuntimeContext.h"
#include "core/preferences/UserDefaults.h"

#include <QFileInfo>
#include <QLocale>
#include <QtGlobal>

namespace ostrevane {

namespace {

// The one context every marked text is extracted under.
constexpr const char* kContext = "Ostrevane";

const char* const kFollowSystem = QT_TRANSLATE_NOOP("Ostrevane", "Follow System");

const QString kMainTable = QStringLiteral("main");
const QString kEnglishTable = QStringLiteral("en");
const QString kSimplifiedChineseTable = QStringLiteral("zh-Hans");

std::shared_ptr<const QTranslator> loadTable(const QString& path)
{
    auto translator = std::make_shared<QTranslator>();
    if (path.isEmpty() || !translator->load(path)) {
        qWarning("Ostrevane: the Simplified Chinese string table %s is missing; English is shown",
                 qPrintable(path));
        return nullptr;
    }
    return translator;
}

QStringList hostSystemLanguages() { return QLocale::system().uiLanguages(); }

// A placeholder found at `start`: its length and which argument it takes (-1: next).
struct Placeholder {
    qsizetype length = 0;
    int position = -1;
};

// Reads "%[n$][l|ll|h|q|z](d|i|u|@|s)" at `start`; nothing when it is none of those.
std::optional<Placeholder> readPlaceholder(const QString& text, qsizetype start)
{
    qsizetype i = start + 1;
    int position = -1;
    qsizetype digitsEnd = i;
    while (digitsEnd < text.size() && text.at(digitsEnd).isDigit())
        ++digitsEnd;
    if (digitsEnd > i && digitsEnd < text.size() && text.at(digitsEnd) == u'$') {
        position = text.mid(i, digitsEnd - i).toInt() - 1;
        if (position < 0)
            return std::nullopt;
        i = digitsEnd + 1;
    }
    while (i < text.size() && QStringView(u"lhqz").contains(text.at(i)))
        ++i;
    if (i >= text.size() || !QStringView(u"diu@s").contains(text.at(i)))
        return std::nullopt;
    return Placeholder{i + 1 - start, position};
}

} // namespace

// ---------------------------------------------------------------------------------------

QList<AppLanguage> AppLanguages::allCases()
{
    return {AppLanguage::system, AppLanguage::english, AppLanguage::simplifiedChinese};
}

QString AppLanguages::rawValue(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return QStringLiteral("system");
    case AppLanguage::english:
        return QStringLiteral("english");
    case AppLanguage::simplifiedChinese:
        return QStringLiteral("simplifiedChinese");
    }
    return QStringLiteral("system");
}

std::optional<AppLanguage> AppLanguages::fromRawValue(const QString& raw)
{
    for (AppLanguage language : allCases())
        if (rawValue(language) == raw)
            return language;
    return std::nullopt;
}

QString AppLanguages::displayName(AppLanguage language)
{
    switch (language) {
    case AppLanguage::system:
        return RuntimeContext::hasCurrent() ? Localization::shared().string(kFollowSystem)
                                            : QString::fromUtf8(kFollowSystem);
    case AppLanguage::english:
        return QStringLiteral("English");
    case AppLanguage::simplifiedChinese:
        return QStringLiteral("简体中文");
    }
    return QString();
}

bool isSimplifiedChineseTag(const QString& languageTag)
{
    const QStringList parts = languageTag.toLower().replace(u'_', u'-').split(u'-');
    if (parts.first() != u"zh")
        return false;
    if (parts.size() == 1)
        return true;
    const QString& second = parts.at(1);
    if (second == u"hans")
        return true;
    return second == u"cn" || second == u"sg" || second == u"my";
}

bool isEnglishTag(const QString& languageTag)
{
    return languageTag.toLower().replace(u'_', u'-').split(u'-').first() == u"en";
}

bool prefersSimplifiedChinese(const QStringList& languages)
{
    for (const QString& tag : languages) {
        if (isSimplifiedChineseTag(tag))
            return true;
        if (isEnglishTag(tag))
            return false;
    }
    return false;
}

QString systemLanguageString(const char* english)
{
    static const std::shared_ptr<const QTranslator> chinese =
        loadTable(Localization::Resources{}.simplifiedChineseTable);
    if (chinese && prefersSimplifiedChinese(hostSystemLanguages())) {
        const QString translated = chinese->translate(kContext, english);
        if (!translated.isEmpty())
            return translated;
    }
    return QString::fromUtf8(english);
}

// ---------------------------------------------------------------------------------------

Localization::Localization(UserDefaults& defaults, NotificationCenter& notifications)
    : Localization(defaults, notifications, Resources{})
{
}

Localization::Localization(UserDefaults& defaults, NotificationCenter& notifications, const Resources& resources)
    : m_defaults(defaults)
    , m_notifications(notifications)
    , m_systemLanguages(resources.systemLanguages ? resources.systemLanguages : hostSystemLanguages)
    , m_simplifiedChinese(loadTable(resources.simplifiedChineseTable))
{
    const std::optional<QString> stored = m_defaults.string(defaultsKey);
    m_language = stored ? AppLanguages::fromRawValue(*stored).value_or(AppLanguage::system) : AppLanguage::system;
    m_bundle = bundle(m_language);
}

Localization& Localization::shared()
{
    return RuntimeContext::current().singleton<Localization>([](RuntimeContext& c) {
        return std::make_unique<Localization>(c.defaults(), c.notifications());
    });
}

AppLanguage Localization::language() const
{
    std::lock_guard lock(m_mutex);
    return m_language;
}

void Localization::setLanguage(AppLanguage language)
{
    {
        std::lock_guard lock(m_mutex);
        if (language == m_language)
            return;
        m_language = language;
        m_bundle = bundle(language);
    }
    m_defaults.set(defaultsKey, AppLanguages::rawValue(language));
    m_notifications.post(Notifications::languageChanged);
    emit languageChanged();
}

Localization::Bundle Localization::bundle(AppLanguage language) const
{
    switch (language) {
    case AppLanguage::system:
        return mainBundle();
    case AppLanguage::english:
        // English is the text as written: its table is always there.
        return Bundle{kEnglishTable, nullptr};
    case AppLanguage::simplifiedChinese:
        if (m_simplifiedChinese)
            return Bundle{kSimplifiedChineseTable, m_simplifiedChinese};
        return mainBundle();
    }
    return mainBundle();
}

// The main table follows the system: the first of the user's preferred languages that we
// have a table for (English or Simplified Chinese), so "fr-FR, zh-CN, en-US" reads
// Chinese; English when none is. Asked afresh each time, so a changed system language
// applies at the next switch.
Localization::Bundle Localization::mainBundle() const
{
    return Bundle{kMainTable, prefersSimplifiedChinese(m_systemLanguages()) ? m_simplifiedChinese : nullptr};
}

QString Localization::bundleName() const
{
    std::lock_guard lock(m_mutex);
    return m_bundle.name;
}

QString Localization::string(const char* english) const
{
    std::shared_ptr<const QTranslator> translator;
    {
        std::lock_guard lock(m_mutex);
        translator = m_bundle.translator;
    }
    if (translator) {
        const QString translated = translator->translate(kContext, english);
        if (!translated.isEmpty())
            return translated;
    }
    return QString::fromUtf8(english);
}

QString Localization::string(const QString& english) const { return string(english.toUtf8().constData()); }

QString Localization::platformString(const char* macText) const
{
    return string(RuntimeContext::hasCurrent() ? RuntimeContext::current().profile().text(macText) : macText);
}

QString Localization::format(const char* englishFormat, const QStringList& arguments) const
{
    return fill(string(englishFormat), arguments);
}

QString Localization::fill(const QString& format, const QStringList& arguments)
{
    QString result;
    result.reserve(format.size());
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) != u'%') {
            result.append(format.at(i));
            continue;
        }
        if (i + 1 < format.size() && format.at(i + 1) == u'%') {
            result.append(u'%');
            ++i;
            continue;
        }
        const std::optional<Placeholder> placeholder = readPlaceholder(format, i);
        if (!placeholder) {
            result.append(u'%');
            continue;
        }
        const int index = placeholder->position >= 0 ? placeholder->position : next++;
        if (index < arguments.size()) {
            result.append(arguments.at(index));
        } else {
            // A text that asks for more values than it was given: show it as written.
            qWarning("Ostrevane: \"%s\" has no value for placeholder %d", qPrintable(format), index + 1);
            result.append(format.mid(i, placeholder->length));
        }
        i += placeholder->length - 1;
    }
    return result;
}

} // namespace ostrevane
