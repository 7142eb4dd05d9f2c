#pragma once

#include "core/sources/BundleReader.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace ostrevane {

// One desktop entry (a ".desktop" file): the keys of its [Desktop Entry] group that
// the switcher uses.
struct DesktopEntry {
    QString id;             // desktop id without ".desktop" ("org.gnome.Nautilus", "kde-okular")
    QString path;           // the file
    QString type;           // "Application", "Link", ...
    QString name;           // Name
    QString localizedName;  // Name[locale] by the locale fallbacks, else Name
    QString icon;           // Icon: a theme icon name or an absolute file
    QString exec;           // Exec with the string escapes undone (quoting still in place)
    QString tryExec;        // TryExec: a program that must be installed
    QString workingDirectory; // Path
    QString startupWMClass;
    bool terminal = false;        // Terminal: runs in a terminal emulator
    bool dbusActivatable = false; // DBusActivatable: started through D-Bus
    bool noDisplay = false;
    bool hidden = false;
    QStringList onlyShowIn;
    QStringList notShowIn;
};

// Reads desktop entries for the installed-app registry on desktops that follow the XDG
// desktop entry format. An entry's bundle identifier is its desktop id: the path below
// the applications folder holding it, with '/' turned into '-' and ".desktop" dropped.
// Entries that are not applications, are NoDisplay or Hidden, or are meant for other
// desktops (OnlyShowIn/NotShowIn against $XDG_CURRENT_DESKTOP) read as nothing. No
// folder is a package. Stateless after construction; safe on any thread.
class DesktopEntryReader : public BundleReader {
public:
    static inline const QString extension = QStringLiteral(".desktop");
    // A desktop entry is a few kilobytes; far larger files are not read.
    static constexpr qint64 maxEntryBytes = 1024 * 1024;

    // `applicationFolders`: the folders desktop ids are counted from. `currentDesktops`:
    // the names in $XDG_CURRENT_DESKTOP. `locale`: "lang_COUNTRY.ENCODING@MODIFIER" or a
    // shorter form; empty reads only the untranslated names.
    DesktopEntryReader(QStringList applicationFolders, QStringList currentDesktops, QString locale);
    // With the current desktops and the message locale ($LC_ALL, $LC_MESSAGES, $LANG).
    explicit DesktopEntryReader(QStringList applicationFolders);

    std::optional<Info> read(const QString& path) const override;
    bool isPackage(const QString&) const override { return false; }

    // One reader per set of folders, kept for the life of the process.
    static const DesktopEntryReader& forFolders(const QStringList& applicationFolders);

    // The entry at `path` whatever it is for; nothing when the file cannot be read or
    // has no [Desktop Entry] group.
    std::optional<DesktopEntry> parse(const QString& path) const;
    // Whether an application entry is one this desktop shows (and its TryExec program
    // is installed).
    bool isShown(const DesktopEntry& entry) const;
    // The desktop id of the entry at `path` (counted from the deepest applications
    // folder holding it; from its file name when none does).
    QString desktopID(const QString& path) const;

    // What the field codes of an Exec value that name the entry stand for.
    struct ExecFields {
        QString icon;     // %i: "--icon" and this, as two arguments; nothing when empty
        QString name;     // %c: the translated name
        QString location; // %k: the entry's file
    };

    // The program and its arguments from an Exec value, with no files or addresses to
    // open: quoting and escapes undone, "%%" kept as "%", %i %c %k filled in from
    // `fields`, the file codes (%f %F %u %U) and the deprecated ones (%d %D %n %N %v %m)
    // removed. Nothing when the value is empty, its quoting is broken or it holds any
    // other field code (such a command line is invalid). Never passes through a shell.
    static std::optional<QStringList> command(const QString& exec, const ExecFields& fields = {});
    // The command of an entry, its own icon, name and file filling in the field codes.
    static std::optional<QStringList> command(const DesktopEntry& entry);
    // Whether a TryExec value names an installed program (an empty value always does).
    static bool isInstalled(const QString& tryExec);

private:
    QString localized(const QMap<QString, QString>& keys, const QString& key) const;

    QStringList m_folders;
    QStringList m_currentDesktops;
    QStringList m_localeKeys; // "[lang_COUNTRY@MODIFIER]" ... "[lang]", most specific first
};

} // namespace ostrevane
