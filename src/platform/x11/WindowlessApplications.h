#pragma once

#include "core/platform/Accessibility.h"
#include "platform/x11/DesktopEntryIndex.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include <sys/types.h>

namespace ostrevane {

// The running applications that have no window, as Linux has them: processes
//   - of this user, in this X session (their DISPLAY names our display),
//   - whose program is an installed application the menus show (the executable is the
//     program of a shown desktop entry's Exec or TryExec; launchers and interpreters
//     identify nothing, and programs that run in a terminal have the terminal's window),
//   - that own no managed window, while no process of the same application does,
//   - and whose parent is not a process of the same application (its helpers).
// So a tray program whose window is closed is one; system and session services (other
// users, no display, no shown entry) and terminal programs are not. One process per
// application: the first found.
//
// /proc is read again when the last reading is older than `rescanInterval`, so that a
// program started or ended without any window changing is noticed. Safe on any thread.
class WindowlessApplications {
public:
    static constexpr std::chrono::milliseconds rescanInterval{1000};

    struct Found {
        ProcessID pid = 0;
        QString executable;
        DesktopEntry entry;
    };
    // The processes whose windows the desktop manages, and their applications' ids.
    struct Windowed {
        std::set<ProcessID> pids;
        std::set<QString> applicationIDs;
    };

    // `display`: our X display's name (":1", "host:0.0"); `procRoot`: "/proc" but in tests.
    WindowlessApplications(DesktopEntryIndex& entries, QByteArray display, ProcessID ownPid,
                           QString procRoot = QStringLiteral("/proc"));

    std::vector<Found> find(const Windowed& windowed);

    // Whether two X display names name the same display (":1" and ":1.0" do).
    static bool sameDisplay(const QByteArray& a, const QByteArray& b);
    // The fields of /proc/PID/stat after the program's name: state, parent, ...; empty
    // when the process has gone.
    static QList<QByteArray> statFields(const QString& procRoot, ProcessID pid);

private:
    struct Candidate {
        ProcessID pid = 0;
        ProcessID parent = 0;
        QString executable;
        DesktopEntry entry;
    };
    std::vector<Candidate> readCandidates() const;
    std::optional<Candidate> candidate(ProcessID pid, uid_t user) const;
    bool isInOurSession(ProcessID pid) const;
    ProcessID parentOf(ProcessID pid) const;

    DesktopEntryIndex& m_entries;
    const QByteArray m_display;
    const ProcessID m_ownPid;
    const QString m_procRoot;

    std::mutex m_lock; // guards the reading below
    std::optional<std::chrono::steady_clock::time_point> m_readAt;
    std::vector<Candidate> m_candidates; // as last read, by pid
};

} // namespace ostrevane
