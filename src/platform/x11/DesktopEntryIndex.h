#pragma once

#include "core/sources/DesktopEntryReader.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ostrevane {

// What identifies a running program's windows: WM_CLASS and the executable.
struct ProgramIdentity {
    QString instance;       // WM_CLASS first part ("chromium (/tmp/profile)", "xterm")
    QString windowClass;    // WM_CLASS second part ("Chromium", "XTerm")
    QString executablePath; // "/usr/lib/chromium/chromium"; empty when unknown
};

// The shown application entries of the applications folders, and the rule that matches
// a running program to one of them. The first file of a desktop id wins (folders in
// order, the user's own first), shown or not: a user's entry with Hidden=true or
// NoDisplay=true masks the system entry of the same id. Re-read when a folder's
// modification time changes. Safe on any thread.
class DesktopEntryIndex {
public:
    explicit DesktopEntryIndex(QStringList applicationFolders);

    // The entry a program belongs to, first rule that finds one:
    // 1. StartupWMClass equals the class or the instance;
    // 2. the desktop id (or its last dotted part, for ids like "org.gnome.Nautilus")
    //    equals the class or the instance, letter case ignored, an instance's
    //    " (...)" suffix dropped;
    // 3. the Exec (or TryExec) program's file name equals the executable's, unless that
    //    program is a launcher or interpreter (env, sh, python3, ...) that many entries
    //    share.
    std::optional<DesktopEntry> match(const ProgramIdentity& program);
    // What names a program no entry describes: its WM_CLASS class, else its instance,
    // else its executable's file name (the profile's prefix makes it an identity, such as
    // "x11:XClock"). Nothing when the program names none of them.
    static std::optional<QString> windowClassName(const ProgramIdentity& program);
    // The entry with this desktop id, or at this path.
    std::optional<DesktopEntry> entry(const QString& desktopIDOrPath);
    // Every shown entry, in folder order.
    std::vector<DesktopEntry> entries();

private:
    void refreshIfChanged();
    void load();
    std::optional<int> matchLoaded(const ProgramIdentity& program) const;

    DesktopEntryReader m_reader;
    QStringList m_folders;
    std::mutex m_lock; // guards everything below
    bool m_loaded = false;
    std::vector<QDateTime> m_stamps;
    std::vector<DesktopEntry> m_entries;
    QHash<QString, int> m_byID;
    QHash<QString, int> m_byPath;
    QHash<QString, std::optional<int>> m_matches; // by WM_CLASS and executable
};

} // namespace ostrevane
