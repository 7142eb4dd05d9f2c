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
// rename), so a crash never leaves a torn file. A file that does not parse, is larger
// than maxFileBytes or nests deeper than InputLimits::maxDepth is moved aside (renamed
// with a ".corrupt-<time>" suffix, said in the log) and the store starts empty; a file
// that cannot be written is logged and the values stay in memory. Reads and writes
// are safe from any thread.
//
// The file may change under the running program (a hand edit, another copy). Every
// write first takes in such a change, so it never drops it, and reload() takes it in
// when the file's folder reports a change. The bytes last read or written tell our own
// writes from outside ones.
class UserDefaults {
public:
    // A settings file is a few kilobytes; one far larger is refused rather than read
    // into memory (a 50 MB value would cost three times that once parsed).
    static constexpr qint64 maxFileBytes = 2 * 1024 * 1024;

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
    // property-list format cannot carry, or that would make the file larger than
    // maxFileBytes, is refused (logged, nothing changes).
    void set(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Takes in what changed in the file since it was last read or written by this store.
    // Returns the keys whose values differ now, with those a write took in since the
    // last call; none when the file holds what this store wrote. A changed file that
    // cannot be read as settings is kept aside and the values in memory are written
    // back in its place; a missing file changes nothing.
    QStringList reload();

    QString filePath() const { return m_filePath; }
    // The path the unreadable file was moved to at load, if that happened.
    QString setAsidePath() const;

private:
    struct FileRead;

    void load();
    FileRead readFile() const;
    // Takes in an outside change of the file; true when the file was kept aside and the
    // values in memory must be written again.
    bool absorbOutsideChangeLocked();
    void setAsideLocked(const FileRead& read);
    bool writeLocked();

    QString m_filePath;
    QString m_setAsidePath;
    mutable std::mutex m_mutex;
    QVariantMap m_values;
    QByteArray m_lastSeen;     // the file's bytes as last read or written here
    QStringList m_absorbed;    // keys changed from outside, not yet reported by reload()
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
