#pragma once

#include "core/platform/SystemServices.h"

#include <QStringList>

namespace ostrevane {

// Launch at login on desktops that follow the XDG autostart convention: a desktop entry
// named after this program's desktop id in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart). The item is enabled when the entry that wins (the user's,
// else the first in the system folders) exists and is not Hidden=true. Enabling writes
// the user's entry atomically (a half-written entry never exists); disabling removes it,
// and where a system-wide entry would still start the program, leaves a Hidden=true
// entry in its place, which is how the convention switches a system entry off.
class XdgAutostartLoginItem : public LoginItemService {
public:
    struct Setup {
        QString desktopID;          // "com.local.ostrevane"
        QString name;               // "Ostrevane"
        QString executable;         // absolute path of the program to start
        QString userFolder;         // $XDG_CONFIG_HOME/autostart
        QStringList systemFolders;  // each of $XDG_CONFIG_DIRS with "/autostart", most important first
        int startDelaySeconds = 2;  // lets the panel and its tray start first
    };

    // The running binary and the XDG folders of this session.
    static Setup forThisProgram(const QString& desktopID);

    explicit XdgAutostartLoginItem(Setup setup);

    bool isEnabled() override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    // The user's autostart folder, the home folder written as "~".
    QString location() const override;

    QString userEntryPath() const;
    // The entry registerItem() writes.
    QString entryText() const;
    // One argument as an Exec value writes it: quoted where the desktop entry format
    // asks for it, '%' doubled, string escapes applied.
    static QString execArgument(const QString& argument);

private:
    std::optional<QString> writeEntry(const QString& text);
    bool systemEntryEnabled() const;

    Setup m_setup;
};

} // namespace ostrevane
