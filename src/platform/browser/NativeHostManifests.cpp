#include "platform/browser/NativeHostManifests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace ostrevane::NativeHostManifests {

namespace {

const QString chromiumHosts = QStringLiteral("/NativeMessagingHosts");
const QString chromiumPage = QStringLiteral("chrome://extensions/");
const QString firefoxPage = QStringLiteral("about:debugging#/runtime/this-firefox");

BrowserHostLocation chromium(const char* id, const char* folder, const char* snap, const char* flatpak)
{
    const QString browserFolder = QString::fromLatin1(folder);
    return {QString::fromLatin1(id), browserFolder, browserFolder + chromiumHosts, false, QString::fromLatin1(snap),
            QString::fromLatin1(flatpak), chromiumPage};
}

BrowserHostLocation firefox(const char* id, const char* snap, const char* flatpak)
{
    return {QString::fromLatin1(id), QStringLiteral(".mozilla"), QStringLiteral(".mozilla/native-messaging-hosts"),
            true, QString::fromLatin1(snap), QString::fromLatin1(flatpak), firefoxPage};
}

QString underBase(const QString& relative, bool mozilla, const Machine& machine)
{
    return (mozilla ? machine.home : machine.configHome) + QLatin1Char('/') + relative;
}

bool anyExists(const QStringList& folders, const QString& name)
{
    return !name.isEmpty()
        && std::any_of(folders.begin(), folders.end(),
                       [&](const QString& folder) { return QFileInfo::exists(folder + QLatin1Char('/') + name); });
}

bool isNative(const BrowserSpec& browser, const BrowserHostLocation& location, const Machine& machine)
{
    if (QFileInfo(underBase(location.browserFolder, location.mozilla, machine)).isDir())
        return true;
    return machine.hasExecutable
        && std::any_of(browser.executableNames.begin(), browser.executableNames.end(), machine.hasExecutable);
}

bool writeAtomically(const QString& path, const QByteArray& content)
{
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

} // namespace

const std::vector<BrowserHostLocation>& locations()
{
    static const std::vector<BrowserHostLocation> rows{
        chromium("google-chrome", "google-chrome", "", "com.google.Chrome"),
        chromium("microsoft-edge", "microsoft-edge", "", "com.microsoft.Edge"),
        chromium("brave-browser", "BraveSoftware/Brave-Browser", "brave", "com.brave.Browser"),
        chromium("chromium", "chromium", "chromium", "org.chromium.Chromium"),
        chromium("vivaldi-stable", "vivaldi", "vivaldi", "com.vivaldi.Vivaldi"),
        chromium("opera", "opera", "opera", "com.opera.Opera"),
        firefox("firefox", "firefox", "org.mozilla.firefox"),
        firefox("firefox-esr", "", ""),
    };
    return rows;
}

const BrowserHostLocation* location(const QString& bundleID)
{
    for (const BrowserHostLocation& row : locations())
        if (row.bundleID == bundleID)
            return &row;
    return nullptr;
}

QByteArray manifest(const BrowserHostLocation& location, const QString& connectorPath)
{
    QJsonObject json{
        {QStringLiteral("name"), hostName},
        {QStringLiteral("description"), QStringLiteral("Ostrevane window switcher: browser tabs")},
        {QStringLiteral("path"), connectorPath},
        {QStringLiteral("type"), QStringLiteral("stdio")},
    };
    if (location.mozilla)
        json.insert(QStringLiteral("allowed_extensions"), QJsonArray{firefoxExtensionID});
    else
        json.insert(QStringLiteral("allowed_origins"),
                    QJsonArray{QStringLiteral("chrome-extension://%1/").arg(chromiumExtensionID)});
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

Machine Machine::current()
{
    Machine machine;
    machine.home = QDir::homePath();
    machine.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    machine.hasExecutable = [](const QString& name) { return !QStandardPaths::findExecutable(name).isEmpty(); };
    machine.snapFolders = {QStringLiteral("/snap/bin"), QStringLiteral("/var/lib/snapd/snap/bin")};
    machine.flatpakFolders = {machine.home + QStringLiteral("/.local/share/flatpak/app"),
                              QStringLiteral("/var/lib/flatpak/app")};
    return machine;
}

BrowserPackaging sandboxedPackaging(const BrowserSpec& browser, const Machine& machine)
{
    const BrowserHostLocation* row = location(browser.bundleID);
    if (!row)
        return BrowserPackaging::absent;
    if (anyExists(machine.snapFolders, row->snapName))
        return BrowserPackaging::snap;
    if (anyExists(machine.flatpakFolders, row->flatpakID))
        return BrowserPackaging::flatpak;
    return BrowserPackaging::absent;
}

BrowserPackaging packaging(const BrowserSpec& browser, const Machine& machine)
{
    const BrowserHostLocation* row = location(browser.bundleID);
    if (row && isNative(browser, *row, machine))
        return BrowserPackaging::native;
    return sandboxedPackaging(browser, machine);
}

QString manifestPath(const BrowserHostLocation& location, const Machine& machine)
{
    return underBase(location.hostsFolder, location.mozilla, machine) + QLatin1Char('/') + hostName
        + QStringLiteral(".json");
}

Report install(const std::vector<BrowserSpec>& browsers, const QString& connectorPath, const Machine& machine)
{
    Report report;
    for (const BrowserSpec& browser : browsers) {
        const BrowserHostLocation* row = location(browser.bundleID);
        if (!row || packaging(browser, machine) != BrowserPackaging::native)
            continue;
        const QString path = manifestPath(*row, machine);
        const QByteArray wanted = manifest(*row, connectorPath);
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == wanted)
            report.unchanged << browser.bundleID;
        else if (writeAtomically(path, wanted))
            report.written << browser.bundleID;
        else
            report.failed << browser.bundleID;
    }
    return report;
}

} // namespace ostrevane::NativeHostManifests
