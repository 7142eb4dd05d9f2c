#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTranslator>

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
// The language's own name; never translated.
QString displayName(AppLanguage language);
} // namespace AppLanguages

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

    Localization(UserDefaults& defaults, NotificationCenter& notifications);
    static Localization& shared();

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
    // Looks `englishFormat` up, then fills its %d, %ld and %@ placeholders in order.
    QString format(const char* englishFormat, const QStringList& arguments) const;

    // Fills printf-style %d/%ld/%@ (and positional %1$@) placeholders; exposed for tests.
    static QString fill(const QString& format, const QStringList& arguments);

signals:
    void languageChanged();

private:
    UserDefaults& m_defaults;
    NotificationCenter& m_notifications;
    mutable std::mutex m_mutex;
    AppLanguage m_language = AppLanguage::system;
    Bundle m_bundle;
};

} // namespace ostrevane
