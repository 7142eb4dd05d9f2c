#include "core/sources/DesktopEntryReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

#include <map>
#include <memory>
#include <mutex>

namespace ostrevane {

namespace {

const QString groupHeader = QStringLiteral("[Desktop Entry]");
const QString applicationType = QStringLiteral("Application");
const QString trueValue = QStringLiteral("true");

// The general escapes of string values: \s \n \t \r and \\.
QString unescaped(const QString& value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's': result += QLatin1Char(' '); break;
        case 'n': result += QLatin1Char('\n'); break;
        case 't': result += QLatin1Char('\t'); break;
        case 'r': result += QLatin1Char('\r'); break;
        case '\\': result += QLatin1Char('\\'); break;
        default: result += c; result += next; break; // kept for the Exec quoting rules
        }
    }
    return result;
}

// A list value: items end with ';' (an escaped "\;" belongs to the item).
QStringList listValue(const QString& value)
{
    QStringList items;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size() && value[i + 1] == QLatin1Char(';')) {
            current += QLatin1Char(';');
            ++i;
        } else if (value[i] == QLatin1Char(';')) {
            items << current;
            current.clear();
        } else {
            current += value[i];
        }
    }
    if (!current.isEmpty())
        items << current;
    return items;
}

// The key/value lines of the [Desktop Entry] group; nothing when the file has none.
std::optional<QMap<QString, QString>> readGroup(const QString& path)
{
    QFile file(path);
    if (file.size() > DesktopEntryReader::maxEntryBytes || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    QMap<QString, QString> keys;
    bool inGroup = false;
    bool found = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (found)
                break; // the keys that matter all live in the first group
            inGroup = found = line == groupHeader;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0) {
            const QString key = line.left(equals).trimmed();
            if (!keys.contains(key)) // a repeated key is an error; the first one counts
                keys.insert(key, line.mid(equals + 1).trimmed());
        }
    }
    if (!found)
        return std::nullopt;
    return keys;
}

// "lang_COUNTRY.ENCODING@MODIFIER" gives the keys to try, most specific first.
QStringList localeKeys(const QString& locale)
{
    QString rest = locale;
    QString modifier;
    if (const qsizetype at = rest.indexOf(QLatin1Char('@')); at >= 0) {
        modifier = rest.mid(at + 1);
        rest = rest.left(at);
    }
    if (const qsizetype dot = rest.indexOf(QLatin1Char('.')); dot >= 0)
        rest = rest.left(dot);
    const qsizetype underscore = rest.indexOf(QLatin1Char('_'));
    const QString lang = underscore >= 0 ? rest.left(underscore) : rest;
    const QString country = underscore >= 0 ? rest.mid(underscore + 1) : QString();
    if (lang.isEmpty() || lang == QLatin1String("C") || lang == QLatin1String("POSIX"))
        return {};
    QStringList keys;
    if (!country.isEmpty() && !modifier.isEmpty())
        keys << lang + QLatin1Char('_') + country + QLatin1Char('@') + modifier;
    if (!country.isEmpty())
        keys << lang + QLatin1Char('_') + country;
    if (!modifier.isEmpty())
        keys << lang + QLatin1Char('@') + modifier;
    keys << lang;
    return keys;
}

QString environmentLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

QStringList environmentDesktops()
{
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

bool intersects(const QStringList& a, const QStringList& b)
{
    for (const QString& item : a)
        if (b.contains(item))
            return true;
    return false;
}

// Collects the words of an Exec value. Quotes make a word even when it is empty; a word
// made only of field codes is dropped.
struct ExecWords {
    QStringList list;
    QString current;
    bool started = false;
    bool onlyFieldCodes = true;

    // Appends a character (or only starts a word when `c` is null, as an opening quote does).
    void add(QChar c)
    {
        if (!c.isNull())
            current += c;
        started = true;
        onlyFieldCodes = false;
    }
    void add(const QString& text)
    {
        current += text;
        started = true;
        onlyFieldCodes = text.isEmpty() && onlyFieldCodes;
    }
    void addFieldCode() { started = true; }
    void finish()
    {
        if (started && !(onlyFieldCodes && current.isEmpty()))
            list << current;
        current.clear();
        started = false;
        onlyFieldCodes = true;
    }
};

// Fills in one field code; false when `code` is none this program may expand.
bool expandFieldCode(QChar code, const DesktopEntryReader::ExecFields& fields, ExecWords& words)
{
    switch (code.unicode()) {
    case '%':
        words.add(QLatin1Char('%'));
        return true;
    case 'i':
        // Two arguments, however the code is embedded.
        if (!fields.icon.isEmpty()) {
            words.add(QStringLiteral("--icon"));
            words.finish();
            words.add(fields.icon);
        }
        words.addFieldCode();
        return true;
    case 'c':
        words.add(fields.name);
        words.addFieldCode();
        return true;
    case 'k':
        words.add(fields.location);
        words.addFieldCode();
        return true;
    case 'f': case 'F': case 'u': case 'U': // nothing to open
    case 'd': case 'D': case 'n': case 'N': case 'v': case 'm': // deprecated
        words.addFieldCode();
        return true;
    default:
        return false;
    }
}

} // namespace

DesktopEntryReader::DesktopEntryReader(QStringList applicationFolders, QStringList currentDesktops, QString locale)
    : m_currentDesktops(std::move(currentDesktops))
    , m_localeKeys(localeKeys(locale))
{
    for (const QString& folder : applicationFolders)
        m_folders << QDir::cleanPath(folder) + QLatin1Char('/');
}

DesktopEntryReader::DesktopEntryReader(QStringList applicationFolders)
    : DesktopEntryReader(std::move(applicationFolders), environmentDesktops(), environmentLocale())
{
}

const DesktopEntryReader& DesktopEntryReader::forFolders(const QStringList& applicationFolders)
{
    static std::mutex lock;
    static std::map<QStringList, std::unique_ptr<DesktopEntryReader>> readers;
    std::lock_guard guard(lock);
    std::unique_ptr<DesktopEntryReader>& reader = readers[applicationFolders];
    if (!reader)
        reader = std::make_unique<DesktopEntryReader>(applicationFolders);
    return *reader;
}

std::optional<BundleReader::Info> DesktopEntryReader::read(const QString& path) const
{
    const std::optional<DesktopEntry> entry = parse(path);
    if (!entry || entry->id.isEmpty())
        return std::nullopt;
    Info info;
    info.bundleID = entry->id;
    info.shown = isShown(*entry);
    if (!entry->localizedName.isEmpty())
        info.displayName = entry->localizedName;
    if (!entry->name.isEmpty())
        info.name = entry->name;
    return info;
}

std::optional<DesktopEntry> DesktopEntryReader::parse(const QString& path) const
{
    const std::optional<QMap<QString, QString>> keys = readGroup(path);
    if (!keys)
        return std::nullopt;
    const auto text = [&](const QString& key) { return unescaped(keys->value(key)); };
    DesktopEntry entry;
    entry.id = desktopID(path);
    entry.path = path;
    entry.type = text(QStringLiteral("Type"));
    entry.name = text(QStringLiteral("Name"));
    entry.localizedName = localized(*keys, QStringLiteral("Name"));
    entry.icon = text(QStringLiteral("Icon"));
    entry.exec = text(QStringLiteral("Exec"));
    entry.tryExec = text(QStringLiteral("TryExec"));
    entry.workingDirectory = text(QStringLiteral("Path"));
    entry.startupWMClass = text(QStringLiteral("StartupWMClass"));
    entry.terminal = keys->value(QStringLiteral("Terminal")) == trueValue;
    entry.dbusActivatable = keys->value(QStringLiteral("DBusActivatable")) == trueValue;
    entry.noDisplay = keys->value(QStringLiteral("NoDisplay")) == trueValue;
    entry.hidden = keys->value(QStringLiteral("Hidden")) == trueValue;
    entry.onlyShowIn = listValue(keys->value(QStringLiteral("OnlyShowIn")));
    entry.notShowIn = listValue(keys->value(QStringLiteral("NotShowIn")));
    return entry;
}

QString DesktopEntryReader::localized(const QMap<QString, QString>& keys, const QString& key) const
{
    for (const QString& locale : m_localeKeys) {
        const auto found = keys.constFind(key + QLatin1Char('[') + locale + QLatin1Char(']'));
        if (found != keys.constEnd())
            return unescaped(*found);
    }
    return unescaped(keys.value(key));
}

bool DesktopEntryReader::isShown(const DesktopEntry& entry) const
{
    if (entry.type != applicationType || entry.noDisplay || entry.hidden)
        return false;
    if (!entry.onlyShowIn.isEmpty() && !intersects(entry.onlyShowIn, m_currentDesktops))
        return false;
    return !intersects(entry.notShowIn, m_currentDesktops) && isInstalled(entry.tryExec);
}

QString DesktopEntryReader::desktopID(const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    QString folder;
    for (const QString& candidate : m_folders)
        if (clean.startsWith(candidate) && candidate.size() > folder.size())
            folder = candidate;
    QString relative = folder.isEmpty() ? QFileInfo(clean).fileName() : clean.mid(folder.size());
    if (relative.endsWith(extension))
        relative.chop(extension.size());
    return relative.replace(QLatin1Char('/'), QLatin1Char('-'));
}

std::optional<QStringList> DesktopEntryReader::command(const QString& exec, const ExecFields& fields)
{
    ExecWords words;
    bool inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (!inQuotes && c.isSpace()) {
            words.finish();
        } else if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            words.add(QChar());
        } else if (c == QLatin1Char('\\') && inQuotes && i + 1 < exec.size()) {
            words.add(exec[++i]); // \" \` \$ \\ inside quotes stand for the character
        } else if (c == QLatin1Char('%')) {
            // A percent sign that starts no known field code makes the line invalid.
            if (i + 1 == exec.size() || !expandFieldCode(exec[++i], fields, words))
                return std::nullopt;
        } else {
            words.add(c);
        }
    }
    words.finish();
    if (inQuotes || words.list.isEmpty())
        return std::nullopt;
    return words.list;
}

std::optional<QStringList> DesktopEntryReader::command(const DesktopEntry& entry)
{
    return command(entry.exec, {entry.icon, entry.localizedName, entry.path});
}

// TryExec names a program that must be installed for the entry to count.
bool DesktopEntryReader::isInstalled(const QString& tryExec)
{
    if (tryExec.isEmpty())
        return true;
    if (QDir::isAbsolutePath(tryExec))
        return QFileInfo(tryExec).isExecutable();
    return !QStandardPaths::findExecutable(tryExec).isEmpty();
}

} // namespace ostrevane
