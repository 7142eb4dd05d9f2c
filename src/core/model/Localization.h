#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace ostrevane {

class NotificationCenter;
class UserDefaults;

// The interface language the user chose. Raw values are what the settings file stores.
enum class AppLanguage { system, english, simplifiedChinese };

namespace AppLanguages {
QList<AppLanguage> allCases();
QString rawValue(AppLanguage language);
std::optional<AppLanguage> fromRawValue(const QString& raw);
// The language's own name ("English", "简体中文"), never translated; `system` reads
// "Follow System" in the current language.
QString displayName(AppLanguage language);
} // namespace AppLanguages

// Whether a system language tag ("zh", "zh-CN", "zh_SG", "zh-Hans-HK") asks for
// Simplified Chinese. Traditional Chinese ("zh-TW", "zh-Hant") does not.
bool isSimplifiedChineseTag(const QString& languageTag);
// Whether a system language tag ("en", "en-GB", "en_US") asks for English.
bool isEnglishTag(const QString& languageTag);
// Whether the first of `languages` (most preferred first) that has a table is Simplified
// Chinese: "fr-FR, zh-CN, en-US" is; "de, en-GB, zh-CN" and a list without either is not.
bool prefersSimplifiedChinese(const QStringList& languages);

// Texts written before the program has a runtime (the command line's answers), in the
// language the system's preferred languages choose, as the `system` setting does.
QString systemLanguageString(const char* english);

// Every user-visible text is looked up here with its English text as the key; a text
// without a translation is shown in English. Mark literals for the translation tools
// with QT_TRANSLATE_NOOP("Ostrevane", "...") where they are written.
class Localization : public QObject {
    Q_OBJECT

public:
    // The string tables a language reads: none (English as written) or one translator.
    struct Bundle {
        QString name; // "main", "en" or "zh-Hans"
        std::shared_ptr<const QTranslator> translator;
    };

    // Where the string tables come from. Tests point the Chinese table elsewhere to
    // simulate a missing one, and choose the system's languages.
    struct Resources {
        // The compiled Simplified Chinese table.
        QString simplifiedChineseTable = QStringLiteral(":/i18n/ostrevane_zh_Hans.qm");
        // The system's preferred UI languages, most preferred first.
        std::function<QStringList()> systemLanguages;
    };

    Localization(UserDefaults& defaults, NotificationCenter& notifications);
    Localization(UserDefaults& defaults, NotificationCenter& notifications, const Resources& resources);
    static Localization& shared();

    static inline const QString defaultsKey = QStringLiteral("Ostrevane.AppLanguage");

    AppLanguage language() const;
    // Stores the choice, switches tables and posts "Ostrevane.languageChanged";
    // choosing the current language does nothing.
    void setLanguage(AppLanguage language);

    // The table for a language: `system` follows the system's languages, `english`
    // the "en" table, `simplifiedChinese` the "zh-Hans" table; a missing table falls
    // back to the main one (system languages).
    Bundle bundle(AppLanguage language) const;
    QString bundleName() const;

    QString string(const char* english) const;
    QString string(const QString& english) const;
    // A text written for the Mac as the current desktop shows it: its profile's counterpart
    // (a Linux desktop says "Alt" for Option and has no System Settings), looked up like
    // any other text.
    QString platformString(const char* macText) const;
    // Looks `englishFormat` up, then fills its %d, %ld and %@ placeholders in order.
    QString format(const char* englishFormat, const QStringList& arguments) const;

    // Fills printf-style %d/%ld/%@ (and positional %1$@) placeholders; exposed for tests.
    static QString fill(const QString& format, const QStringList& arguments);

signals:
    void languageChanged();

private:
    Bundle mainBundle() const;

    UserDefaults& m_defaults;
    NotificationCenter& m_notifications;
    std::function<QStringList()> m_systemLanguages;
    // Loaded once; null when the table is missing.
    std::shared_ptr<const QTranslator> m_simplifiedChinese;
    mutable std::mutex m_mutex;
    AppLanguage m_language = AppLanguage::system;
    Bundle m_bundle;
};

} // namespace ostrevane
