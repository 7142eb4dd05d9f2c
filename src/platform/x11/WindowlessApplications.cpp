#include "platform/x11/WindowlessApplications.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace ostrevane {

namespace {

// "host:1.0" -> ("host", "1"): the screen does not change which display it is.
std::pair<QByteArray, QByteArray> displayParts(const QByteArray& name)
{
    const qsizetype colon = name.lastIndexOf(':');
    if (colon < 0)
        return {name, QByteArray()};
    QByteArray number = name.mid(colon + 1);
    if (const qsizetype dot = number.indexOf('.'); dot >= 0)
        number.truncate(dot);
    QByteArray host = name.left(colon);
    if (host == "unix" || host == "localhost")
        host.clear();
    return {host, number};
}

} // namespace

WindowlessApplications::WindowlessApplications(DesktopEntryIndex& entries, QByteArray display, ProcessID ownPid,
                                               QString procRoot)
    : m_entries(entries), m_display(std::move(display)), m_ownPid(ownPid), m_procRoot(std::move(procRoot))
{
}

bool WindowlessApplications::sameDisplay(const QByteArray& a, const QByteArray& b)
{
    const auto first = displayParts(a);
    return !first.second.isEmpty() && first == displayParts(b);
}

std::vector<WindowlessApplications::Found> WindowlessApplications::find(const Windowed& windowed)
{
    std::vector<Candidate> candidates;
    {
        std::lock_guard lock(m_lock);
        const auto now = std::chrono::steady_clock::now();
        if (!m_readAt || now - *m_readAt >= rescanInterval) {
            m_candidates = readCandidates();
            m_readAt = now;
        }
        candidates = m_candidates;
    }
    std::vector<Found> result;
    std::set<QString> listed;
    for (const Candidate& c : candidates) {
        const QString& id = c.entry.id;
        if (windowed.pids.contains(c.pid) || windowed.applicationIDs.contains(id) || !listed.insert(id).second)
            continue;
        result.push_back(Found{c.pid, c.executable, c.entry});
    }
    return result;
}

// Every process of this user that runs an application's program in our session, less
// the helpers that a process of the same application started.
std::vector<WindowlessApplications::Candidate> WindowlessApplications::readCandidates() const
{
    const uid_t user = ::getuid();
    std::vector<Candidate> found;
    const QStringList pids = QDir(m_procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : pids) {
        bool numeric = false;
        const ProcessID pid = name.toInt(&numeric);
        if (numeric && pid != m_ownPid)
            if (std::optional<Candidate> c = candidate(pid, user))
                found.push_back(std::move(*c));
    }
    std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) { return a.pid < b.pid; });
    std::vector<Candidate> result;
    for (const Candidate& c : found) {
        const bool helper = std::any_of(found.begin(), found.end(), [&](const Candidate& other) {
            return other.pid == c.parent && other.entry.id == c.entry.id;
        });
        if (!helper)
            result.push_back(c);
    }
    return result;
}

std::optional<WindowlessApplications::Candidate> WindowlessApplications::candidate(ProcessID pid, uid_t user) const
{
    const QString folder = m_procRoot + QLatin1Char('/') + QString::number(pid);
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || info.st_uid != user)
        return std::nullopt;
    const QString executable = QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget();
    if (executable.isEmpty())
        return std::nullopt; // a kernel thread, or gone
    const std::optional<DesktopEntry> entry = m_entries.match(ProgramIdentity{QString(), QString(), executable});
    if (!entry || entry->terminal || !isInOurSession(pid))
        return std::nullopt;
    return Candidate{pid, parentOf(pid), executable, *entry};
}

bool WindowlessApplications::isInOurSession(ProcessID pid) const
{
    QFile file(m_procRoot + QStringLiteral("/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& variable : file.readAll().split('\0'))
        if (variable.startsWith("DISPLAY="))
            return sameDisplay(variable.mid(8), m_display);
    return false;
}

// /proc/PID/stat: "pid (name) state ppid ...", where the name may hold spaces and ')'.
QList<QByteArray> WindowlessApplications::statFields(const QString& procRoot, ProcessID pid)
{
    QFile file(procRoot + QStringLiteral("/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.readAll();
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>{} : stat.mid(nameEnd + 2).split(' ');
}

ProcessID WindowlessApplications::parentOf(ProcessID pid) const
{
    const QList<QByteArray> fields = statFields(m_procRoot, pid);
    return fields.size() > 1 ? fields[1].toInt() : 0;
}

} // namespace ostrevane
