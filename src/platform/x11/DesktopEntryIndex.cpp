#include "platform/x11/DesktopEntryIndex.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

namespace ostrevane {

namespace {

// Programs that start other programs: many entries share them, so they identify nothing.
const QStringList launchers = {
    QStringLiteral("env"),    QStringLiteral("sh"),      QStringLiteral("bash"),   QStringLiteral("python"),
    QStringLiteral("python3"), QStringLiteral("perl"),   QStringLiteral("java"),   QStringLiteral("flatpak"),
    QStringLiteral("snap"),   QStringLiteral("gjs"),     QStringLiteral("node"),   QStringLiteral("wine"),
};

// "chromium (/tmp/profile)" is Chromium's instance name for a custom profile folder.
QString withoutSuffix(const QString& instance)
{
    const qsizetype open = instance.indexOf(QStringLiteral(" ("));
    return open > 0 ? instance.left(open) : instance;
}

bool sameName(const QString& a, const QString& b) { return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0; }

QString execProgram(const DesktopEntry& entry)
{
    const std::optional<QStringList> command = DesktopEntryReader::command(entry.exec);
    return command ? QFileInfo(command->front()).fileName() : QString();
}

} // namespace

DesktopEntryIndex::DesktopEntryIndex(QStringList applicationFolders)
    : m_reader(applicationFolders), m_folders(std::move(applicationFolders))
{
}

std::optional<DesktopEntry> DesktopEntryIndex::match(const ProgramIdentity& program)
{
    std::lock_guard lock(m_lock);
    refreshIfChanged();
    const QString key = program.instance + QLatin1Char('\n') + program.windowClass + QLatin1Char('\n')
        + program.executablePath;
    auto found = m_matches.constFind(key);
    if (found == m_matches.constEnd())
        found = m_matches.insert(key, matchLoaded(program));
    if (!*found)
        return std::nullopt;
    return m_entries[**found];
}

std::optional<QString> DesktopEntryIndex::windowClassName(const ProgramIdentity& program)
{
    const QString executable = QFileInfo(program.executablePath).fileName();
    const QString name = !program.windowClass.isEmpty() ? program.windowClass
        : !program.instance.isEmpty()                   ? withoutSuffix(program.instance)
                                                        : executable;
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<DesktopEntry> DesktopEntryIndex::entry(const QString& desktopIDOrPath)
{
    std::lock_guard lock(m_lock);
    refreshIfChanged();
    if (auto found = m_byID.constFind(desktopIDOrPath); found != m_byID.constEnd())
        return m_entries[*found];
    if (auto found = m_byPath.constFind(desktopIDOrPath); found != m_byPath.constEnd())
        return m_entries[*found];
    // An entry outside the folders (or hidden from menus) is still read when asked by path.
    if (desktopIDOrPath.endsWith(DesktopEntryReader::extension))
        return m_reader.parse(desktopIDOrPath);
    return std::nullopt;
}

std::vector<DesktopEntry> DesktopEntryIndex::entries()
{
    std::lock_guard lock(m_lock);
    refreshIfChanged();
    return m_entries;
}

std::optional<int> DesktopEntryIndex::matchLoaded(const ProgramIdentity& program) const
{
    const QString instance = withoutSuffix(program.instance);
    const auto named = [&](const QString& name) {
        return sameName(name, program.windowClass) || sameName(name, instance);
    };
    const auto first = [&](const auto& rule) -> std::optional<int> {
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (rule(m_entries[i]))
                return static_cast<int>(i);
        return std::nullopt;
    };
    if (auto found = first([&](const DesktopEntry& e) { return named(e.startupWMClass); }))
        return found;
    if (auto found = first([&](const DesktopEntry& e) { return named(e.id) || named(e.id.section(QLatin1Char('.'), -1)); }))
        return found;
    const QString executable = QFileInfo(program.executablePath).fileName();
    if (executable.isEmpty() || launchers.contains(executable))
        return std::nullopt;
    return first([&](const DesktopEntry& e) {
        return execProgram(e) == executable || (!e.tryExec.isEmpty() && QFileInfo(e.tryExec).fileName() == executable);
    });
}

// Folder modification times change when an entry directly inside is added, removed or
// renamed; entries in subfolders are picked up with the next such change.
void DesktopEntryIndex::refreshIfChanged()
{
    std::vector<QDateTime> stamps;
    for (const QString& folder : m_folders)
        stamps.push_back(QFileInfo(folder).lastModified());
    if (m_loaded && stamps == m_stamps)
        return;
    m_loaded = true;
    m_stamps = std::move(stamps);
    load();
}

void DesktopEntryIndex::load()
{
    m_entries.clear();
    m_byID.clear();
    m_byPath.clear();
    m_matches.clear();
    QSet<QString> claimed;
    for (const QString& folder : m_folders) {
        // No name filter: Qt matches those with a regular expression, and its compiler
        // would stay resident for this one look.
        QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (!path.endsWith(DesktopEntryReader::extension))
                continue;
            const std::optional<DesktopEntry> entry = m_reader.parse(path);
            // The first file of a desktop id wins, shown or not: the user's own folder
            // comes first, and a hidden copy there takes the system's entry away.
            if (!entry || claimed.contains(entry->id))
                continue;
            claimed.insert(entry->id);
            if (!m_reader.isShown(*entry))
                continue;
            m_byID.insert(entry->id, static_cast<int>(m_entries.size()));
            m_byPath.insert(entry->path, static_cast<int>(m_entries.size()));
            m_entries.push_back(*entry);
        }
    }
}

} // namespace ostrevane
