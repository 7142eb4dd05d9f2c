#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <mutex>
#include <optional>

namespace ostrevane {

// The user defaults store: one XML property-list file of typed values.
//
// Values are QVariants of these types only: QString, bool, qint64 (integer), double
// (real), QByteArray (data), QDateTime (date, UTC), QVariantList (array) and
// QVariantMap (dictionary), nested freely. Typed getters return nothing when the key
// is absent or holds another type; a value of the wrong type is never converted.
//
// Every change is written at once by atomic replacement (temporary file, flush,
// rename), so a crash never leaves a torn file. A file that does not parse is moved
// aside (renamed with a ".corrupt-<time>" suffix) and the store starts empty; a file
// that cannot be written is logged and the values stay in memory. Reads and writes
// are safe from any thread.
class UserDefaults {
public:
    // Reads `filePath` if it exists. The folder is created on first write.
    explicit UserDefaults(QString filePath);

    static UserDefaults& standard();

    // The file under $XDG_CONFIG_HOME (or ~/.config): ostrevane/com.local.ostrevane.plist.
    static QString defaultFilePath();

    QVariant object(const QString& key) const;
    std::optional<QString> string(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<qint64> integer(const QString& key) const;
    std::optional<double> real(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    std::optional<QDateTime> date(const QString& key) const;
    std::optional<QVariantList> array(const QString& key) const;
    std::optional<QVariantMap> dictionary(const QString& key) const;

    // Stores `value` under `key` and writes the file. A value holding a type the
    // property-list format cannot carry is refused (logged, nothing changes).
    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);

    QString filePath() const { return m_filePath; }
    // The path the unreadable file was moved to at load, if that happened.
    QString setAsidePath() const;

private:
    void load();
    void writeLocked() const;

    QString m_filePath;
    QString m_setAsidePath;
    mutable std::mutex m_mutex;
    QVariantMap m_values;
};

// Property-list conversion, shared with anything else that reads or writes the format.
namespace PropertyList {
// Parses XML or binary property-list bytes; nothing when they do not parse.
std::optional<QVariant> parse(const QByteArray& bytes);
// XML text of `value`; nothing when `value` holds a type the format cannot carry.
std::optional<QByteArray> toXml(const QVariant& value);
bool isStorable(const QVariant& value);
} // namespace PropertyList

} // namespace ostrevane
