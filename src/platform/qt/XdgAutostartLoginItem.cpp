#include "platform/qt/XdgAutostartLoginItem.h"

#include "core/sources/DesktopEntryReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace ostrevane {

namespace {

const QString autostart = QStringLiteral("/autostart");

// Whether the entry at `path` exists and is not switched off.
std::optional<bool> entryEnabled(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const std::optional<DesktopEntry> entry = DesktopEntryReader(QStringList{}).parse(path);
    // An unreadable entry of the user's still overrides the system's: it starts nothing.
    return entry && !entry->hidden;
}

// The desktop entry format's escapes of a string value.
QString escapeString(QString value)
{
    value.replace(u'\\', QStringLiteral("\\\\"));
    value.replace(u'\n', QStringLiteral("\\n"));
    value.replace(u'\t', QStringLiteral("\\t"));
    value.replace(u'\r', QStringLiteral("\\r"));
    return value;
}

} // namespace

XdgAutostartLoginItem::Setup XdgAutostartLoginItem::forThisProgram(const QString& desktopID)
{
    Setup setup;
    setup.desktopID = desktopID;
    setup.name = QStringLiteral("Ostrevane");
    setup.executable = QCoreApplication::applicationFilePath();
    const QStringList configFolders = QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    if (!configFolders.isEmpty())
        setup.userFolder = configFolders.front() + autostart;
    for (qsizetype i = 1; i < configFolders.size(); ++i)
        setup.systemFolders << configFolders.at(i) + autostart;
    return setup;
}

XdgAutostartLoginItem::XdgAutostartLoginItem(Setup setup) : m_setup(std::move(setup)) {}

QString XdgAutostartLoginItem::userEntryPath() const
{
    return m_setup.userFolder + u'/' + m_setup.desktopID + DesktopEntryReader::extension;
}

bool XdgAutostartLoginItem::isEnabled()
{
    if (const std::optional<bool> user = entryEnabled(userEntryPath()))
        return *user;
    return systemEntryEnabled();
}

bool XdgAutostartLoginItem::systemEntryEnabled() const
{
    for (const QString& folder : m_setup.systemFolders)
        if (const auto system = entryEnabled(folder + u'/' + m_setup.desktopID + DesktopEntryReader::extension))
            return *system;
    return false;
}

std::optional<QString> XdgAutostartLoginItem::registerItem() { return writeEntry(entryText()); }

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    QFile entry(userEntryPath());
    if (entry.exists() && !entry.remove())
        return entry.errorString();
    if (!systemEntryEnabled())
        return std::nullopt;
    return writeEntry(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nHidden=true\n").arg(m_setup.name));
}

std::optional<QString> XdgAutostartLoginItem::writeEntry(const QString& text)
{
    if (!QDir().mkpath(m_setup.userFolder))
        return QStringLiteral("cannot create %1").arg(m_setup.userFolder);
    QSaveFile file(userEntryPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return file.errorString();
    return std::nullopt;
}

QString XdgAutostartLoginItem::location() const
{
    const QString home = QDir::homePath();
    if (m_setup.userFolder.startsWith(home + u'/'))
        return u'~' + m_setup.userFolder.mid(home.size());
    return m_setup.userFolder;
}

QString XdgAutostartLoginItem::entryText() const
{
    QStringList lines{
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=") + escapeString(m_setup.name),
        QStringLiteral("Exec=") + execArgument(m_setup.executable),
        QStringLiteral("TryExec=") + escapeString(m_setup.executable),
        QStringLiteral("Icon=") + m_setup.desktopID,
        QStringLiteral("Terminal=false"),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
        QStringLiteral("X-GNOME-Autostart-Delay=%1").arg(m_setup.startDelaySeconds),
        QStringLiteral("X-KDE-autostart-after=panel"),
    };
    return lines.join(u'\n') + u'\n';
}

QString XdgAutostartLoginItem::execArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes = argument.isEmpty()
        || std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    QString value = argument;
    if (needsQuotes) {
        QString inner;
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                inner += u'\\';
            inner += c;
        }
        value = u'"' + inner + u'"';
    }
    value.replace(u'%', QStringLiteral("%%"));
    return escapeString(value);
}

} // namespace ostrevane
