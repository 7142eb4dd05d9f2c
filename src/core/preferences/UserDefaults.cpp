#include "core/preferences/UserDefaults.h"

#include "core/shell/InputLimits.h"
#include "core/shell/RuntimeContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimeZone>

#include <plist/plist.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace ostrevane {

namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 referenceDateOffset = 978307200;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

QVariant fromNode(plist_t node);

QVariantMap dictionaryFromNode(plist_t node)
{
    QVariantMap map;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, iter, &key, &value);
        if (!value) {
            free(key);
            break;
        }
        map.insert(QString::fromUtf8(key), fromNode(value));
        free(key);
    }
    free(iter);
    return map;
}

QVariantList arrayFromNode(plist_t node)
{
    QVariantList list;
    const uint32_t count = plist_array_get_size(node);
    list.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        list.append(fromNode(plist_array_get_item(node, i)));
    return list;
}

// The length-aware reader: plist_get_string_val asserts on a string holding a NUL (such
// files are refused before parsing, see InputLimits).
QString stringFromNode(plist_t node)
{
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString();
}

QVariant scalarFromNode(plist_t node, plist_type type)
{
    switch (type) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return QVariant(v != 0);
    }
    case PLIST_UINT: {
        // Negative integers come back as their two's complement.
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return QVariant(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return QVariant(v);
    }
    case PLIST_STRING:
        return QVariant(stringFromNode(node));
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        QByteArray data(bytes ? bytes : "", static_cast<qsizetype>(length));
        free(bytes);
        return QVariant(data);
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const qint64 ms = (referenceDateOffset + sec) * 1000 + usec / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    }
    default:
        return {};
    }
}

QVariant fromNode(plist_t node)
{
    if (!node)
        return {};
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_DICT)
        return QVariant(dictionaryFromNode(node));
    if (type == PLIST_ARRAY)
        return QVariant(arrayFromNode(node));
    return scalarFromNode(node, type);
}

plist_t dateNode(const QDateTime& date)
{
    // The node keeps whole seconds relative to 2001 in 32 bits; clamp rather than wrap.
    const qint64 ms = date.toMSecsSinceEpoch() - referenceDateOffset * 1000;
    qint64 sec = ms / 1000;
    qint64 usec = (ms % 1000) * 1000;
    if (usec < 0) {
        --sec;
        usec += 1000000;
    }
    sec = std::clamp<qint64>(sec, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(usec));
}

plist_t toNode(const QVariant& value);

plist_t containerNode(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap) {
        PlistPtr dict(plist_new_dict());
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t child = toNode(it.value());
            if (!child)
                return nullptr;
            plist_dict_set_item(dict.get(), it.key().toUtf8().constData(), child);
        }
        return dict.release();
    }
    PlistPtr array(plist_new_array());
    for (const QVariant& element : value.toList()) {
        plist_t child = toNode(element);
        if (!child)
            return nullptr;
        plist_array_append_item(array.get(), child);
    }
    return array.release();
}

plist_t toNode(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return plist_new_string(value.toString().toUtf8().constData());
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
        return std::isfinite(value.toDouble()) ? plist_new_real(value.toDouble()) : nullptr;
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), static_cast<uint64_t>(data.size()));
    }
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? dateNode(value.toDateTime()) : nullptr;
    case QMetaType::QVariantMap:
    case QMetaType::QVariantList:
        return containerNode(value);
    default:
        return nullptr;
    }
}

// Integers of every width read as one type, so callers need not care how they were set.
QVariant normalized(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return QVariant(value.toLongLong());
    default:
        return value;
    }
}

// The keys whose values differ between two versions of the settings.
QStringList changedKeys(const QVariantMap& before, const QVariantMap& after)
{
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (!after.contains(it.key()) || after.value(it.key()) != it.value())
            changed.append(it.key());
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (!before.contains(it.key()))
            changed.append(it.key());
    return changed;
}

template <class T>
std::optional<T> typed(const QVariant& value, QMetaType::Type type)
{
    if (value.typeId() != type)
        return std::nullopt;
    return value.value<T>();
}

} // namespace

namespace PropertyList {

std::optional<QVariant> parse(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max()
        || !InputLimits::propertyListWithinLimits(bytes))
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root)
        return std::nullopt;
    PlistPtr owner(root);
    return fromNode(root);
}

std::optional<QByteArray> toXml(const QVariant& value)
{
    PlistPtr root(toNode(value));
    if (!root)
        return std::nullopt;
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml)
        return std::nullopt;
    QByteArray result(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return result;
}

bool isStorable(const QVariant& value)
{
    PlistPtr node(toNode(value));
    return node != nullptr;
}

} // namespace PropertyList

UserDefaults::UserDefaults(QString filePath) : m_filePath(std::move(filePath)) { load(); }

UserDefaults& UserDefaults::standard() { return RuntimeContext::current().defaults(); }

QString UserDefaults::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/ostrevane/com.local.ostrevane.plist");
}

// What reading the file found.
struct UserDefaults::FileRead {
    enum class Outcome { missing, unreadable, tooLarge, tooDeep, damaged, read };
    Outcome outcome = Outcome::missing;
    QByteArray bytes;
    QVariantMap values;

    bool refused() const
    {
        return outcome == Outcome::tooLarge || outcome == Outcome::tooDeep || outcome == Outcome::damaged;
    }
};

void UserDefaults::load()
{
    std::lock_guard lock(m_mutex);
    FileRead read = readFile();
    if (read.outcome == FileRead::Outcome::read) {
        m_values = std::move(read.values);
        m_lastSeen = std::move(read.bytes);
    } else if (read.refused()) {
        setAsideLocked(read);
    }
}

// Size and depth are checked before the parser sees the bytes: it recurses per level.
UserDefaults::FileRead UserDefaults::readFile() const
{
    FileRead result;
    QFile file(m_filePath);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable (permissions): keep it untouched and run on the values in memory.
        qWarning("Ostrevane: cannot read settings %s: %s", qPrintable(m_filePath), qPrintable(file.errorString()));
        result.outcome = FileRead::Outcome::unreadable;
        return result;
    }
    // Read as large as the file says it is (one byte more tells a file that grew): the
    // bytes are kept to recognise our own writes, so no spare capacity stays behind.
    const qint64 size = file.size();
    result.bytes = size <= maxFileBytes ? file.read(size + 1) : QByteArray();
    result.bytes.squeeze();
    if (size > maxFileBytes || result.bytes.size() > maxFileBytes) {
        result.outcome = FileRead::Outcome::tooLarge;
        return result;
    }
    if (!InputLimits::propertyListWithinLimits(result.bytes)) {
        result.outcome = FileRead::Outcome::tooDeep;
        return result;
    }
    const std::optional<QVariant> root = PropertyList::parse(result.bytes);
    if (!root || root->typeId() != QMetaType::QVariantMap) {
        result.outcome = FileRead::Outcome::damaged;
        return result;
    }
    result.outcome = FileRead::Outcome::read;
    result.values = root->toMap();
    return result;
}

// Keeps the refused file for the user (and for bug reports); the caller goes on with
// the values it has (none at start).
void UserDefaults::setAsideLocked(const FileRead& read)
{
    const QString reason = read.outcome == FileRead::Outcome::tooLarge
        ? QStringLiteral("is larger than the limit of %1 bytes").arg(maxFileBytes)
        : read.outcome == FileRead::Outcome::tooDeep
        ? QStringLiteral("nests deeper than the limit of %1 levels").arg(InputLimits::maxDepth)
        : QStringLiteral("did not parse");
    const QString stem = m_filePath + QStringLiteral(".corrupt-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    m_setAsidePath = stem;
    for (int n = 2; QFile::exists(m_setAsidePath); ++n)
        m_setAsidePath = stem + QLatin1Char('-') + QString::number(n);
    const char* next = m_lastSeen.isEmpty() && m_values.isEmpty() ? "started from defaults" : "kept the settings in use";
    if (QFile::rename(m_filePath, m_setAsidePath))
        qWarning("Ostrevane: settings file %s %s; kept it as %s and %s", qPrintable(m_filePath), qPrintable(reason),
                 qPrintable(m_setAsidePath), next);
    else
        qWarning("Ostrevane: settings file %s %s and could not be moved aside", qPrintable(m_filePath),
                 qPrintable(reason));
}

bool UserDefaults::absorbOutsideChangeLocked()
{
    FileRead read = readFile();
    if (read.outcome == FileRead::Outcome::missing || read.outcome == FileRead::Outcome::unreadable
        || read.bytes == m_lastSeen)
        return false;
    if (read.refused()) {
        setAsideLocked(read);
        return true;
    }
    for (const QString& key : changedKeys(m_values, read.values))
        if (!m_absorbed.contains(key))
            m_absorbed.append(key);
    m_values = std::move(read.values);
    m_lastSeen = std::move(read.bytes);
    return false;
}

QStringList UserDefaults::reload()
{
    std::lock_guard lock(m_mutex);
    if (absorbOutsideChangeLocked())
        writeLocked();
    return std::exchange(m_absorbed, {});
}

QString UserDefaults::setAsidePath() const
{
    std::lock_guard lock(m_mutex);
    return m_setAsidePath;
}

QVariant UserDefaults::object(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.value(key);
}

std::optional<QString> UserDefaults::string(const QString& key) const { return typed<QString>(object(key), QMetaType::QString); }
std::optional<bool> UserDefaults::boolean(const QString& key) const { return typed<bool>(object(key), QMetaType::Bool); }
std::optional<qint64> UserDefaults::integer(const QString& key) const { return typed<qint64>(object(key), QMetaType::LongLong); }
std::optional<double> UserDefaults::real(const QString& key) const { return typed<double>(object(key), QMetaType::Double); }
std::optional<QByteArray> UserDefaults::data(const QString& key) const { return typed<QByteArray>(object(key), QMetaType::QByteArray); }
std::optional<QDateTime> UserDefaults::date(const QString& key) const { return typed<QDateTime>(object(key), QMetaType::QDateTime); }
std::optional<QVariantList> UserDefaults::array(const QString& key) const { return typed<QVariantList>(object(key), QMetaType::QVariantList); }
std::optional<QVariantMap> UserDefaults::dictionary(const QString& key) const { return typed<QVariantMap>(object(key), QMetaType::QVariantMap); }

void UserDefaults::set(const QString& key, const QVariant& value)
{
    if (!PropertyList::isStorable(value)) {
        qWarning("Ostrevane: refused to store a %s under %s", value.typeName() ? value.typeName() : "null value",
                 qPrintable(key));
        return;
    }
    std::lock_guard lock(m_mutex);
    absorbOutsideChangeLocked();
    const std::optional<QVariant> previous = m_values.contains(key) ? std::optional(m_values.value(key)) : std::nullopt;
    m_values.insert(key, normalized(value));
    if (writeLocked())
        return;
    qWarning("Ostrevane: refused to store %s: the settings file would grow past the limit of %lld bytes",
             qPrintable(key), static_cast<long long>(maxFileBytes));
    if (previous)
        m_values.insert(key, *previous);
    else
        m_values.remove(key);
}

void UserDefaults::remove(const QString& key)
{
    std::lock_guard lock(m_mutex);
    absorbOutsideChangeLocked();
    if (m_values.remove(key) > 0)
        writeLocked();
}

bool UserDefaults::writeLocked()
{
    const std::optional<QByteArray> xml = PropertyList::toXml(QVariant(m_values));
    if (!xml) {
        qWarning("Ostrevane: could not encode the settings; the file was left as it was");
        return true;
    }
    if (xml->size() > maxFileBytes)
        return false; // the next start would refuse the file

    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    // QSaveFile writes a temporary file, flushes it and renames it over the old one.
    QSaveFile file(m_filePath);
    // The explicit sync makes the rename durable: after a power loss the file holds
    // either the old settings or the new ones.
    if (!file.open(QIODevice::WriteOnly) || file.write(*xml) != xml->size() || !file.flush()
        || ::fsync(file.handle()) != 0 || !file.commit()) {
        qWarning("Ostrevane: could not write settings %s: %s", qPrintable(m_filePath), qPrintable(file.errorString()));
        return true;
    }
    m_lastSeen = *xml;
    return true;
}

} // namespace ostrevane
