#include "platform/browser/NativeHostManifests.h"

#include "BrowserTestKit.h"
#include "support/QtPrinting.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

using namespace ostrevane;
using namespace ostrevane::browsertest;
namespace Manifests = ostrevane::NativeHostManifests;

namespace {

const QString connector = QStringLiteral("/opt/ostrevane/lib/ostrevane-connector");

// A home folder and the programs on its PATH, as the test lays them out.
struct MachineFolder {
    QTemporaryDir dir;
    QStringList onPath;
    Manifests::Machine machine() const
    {
        Manifests::Machine m;
        m.home = dir.path() + "/home";
        m.configHome = dir.path() + "/home/.config";
        m.hasExecutable = [path = onPath](const QString& name) { return path.contains(name); };
        m.snapFolders = {dir.path() + "/snap/bin"};
        m.flatpakFolders = {dir.path() + "/flatpak/app"};
        return m;
    }
    void make(const QString& relative) const { QDir().mkpath(dir.path() + '/' + relative); }
    QByteArray read(const QString& relative) const
    {
        QFile file(dir.path() + '/' + relative);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& relative, const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(dir.path() + '/' + relative).path());
        QFile file(dir.path() + '/' + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

const QString chromiumManifest = "home/.config/chromium/NativeMessagingHosts/com.local.ostrevane.json";
const QString braveManifest = "home/.config/BraveSoftware/Brave-Browser/NativeMessagingHosts/com.local.ostrevane.json";
const QString mozillaManifest = "home/.mozilla/native-messaging-hosts/com.local.ostrevane.json";

QJsonObject json(const QByteArray& text) { return QJsonDocument::fromJson(text).object(); }

} // namespace

TEST(NativeHostManifests, EachBrowserFoundByItsFolderOrItsProgramLearnsWhereTheConnectorIs)
{
    MachineFolder folder;
    folder.make("home/.config/BraveSoftware/Brave-Browser"); // Brave was used once
    folder.onPath = {"chromium", "firefox-esr"};             // installed, maybe never run
    const Manifests::Report report = Manifests::install(linuxBrowsers(), connector, folder.machine());
    EXPECT_EQ(report.written, (QStringList{"brave-browser", "chromium", "firefox-esr"}));
    EXPECT_TRUE(report.failed.isEmpty());

    // Chromium and Firefox load the connector through theirs end to end; Brave's is found by its folder.
    EXPECT_EQ(json(folder.read(braveManifest)).value("path"), connector);
    EXPECT_FALSE(QFile::exists(folder.dir.path() + "/home/.config/google-chrome"));
}

TEST(NativeHostManifests, AStaleManifestIsReplacedARightOneKeptAndOthersLeftAlone)
{
    MachineFolder folder;
    folder.onPath = {"chromium", "firefox"};
    const Manifests::Machine machine = folder.machine();
    folder.write(chromiumManifest, Manifests::manifest(*Manifests::location("chromium"), "/old/place/connector"));
    folder.write(mozillaManifest, Manifests::manifest(*Manifests::location("firefox"), connector));
    folder.write("home/.mozilla/native-messaging-hosts/org.other.host.json", "{\"name\":\"org.other.host\"}");

    const Manifests::Report report = Manifests::install(linuxBrowsers(), connector, machine);
    EXPECT_EQ(report.written, QStringList{"chromium"});
    EXPECT_EQ(report.unchanged, (QStringList{"firefox", "firefox-esr"})); // both read ~/.mozilla
    EXPECT_EQ(json(folder.read(chromiumManifest)).value("path"), connector);
    EXPECT_EQ(folder.read("home/.mozilla/native-messaging-hosts/org.other.host.json"), "{\"name\":\"org.other.host\"}");

    // A file where the hosts folder should be: the browser is reported, nothing breaks.
    folder.write("home/.config/vivaldi/NativeMessagingHosts", "not a folder");
    EXPECT_EQ(Manifests::install(linuxBrowsers(), connector, machine).failed, QStringList{"vivaldi-stable"});
}

TEST(NativeHostManifests, SnapAndFlatpakCopiesAreToldApartFromNativeOnes)
{
    MachineFolder folder;
    folder.write("snap/bin/chromium", "");
    folder.make("flatpak/app/org.mozilla.firefox");
    const Manifests::Machine machine = folder.machine();
    EXPECT_EQ(Manifests::packaging(linuxBrowser("chromium"), machine), BrowserPackaging::snap);
    EXPECT_EQ(Manifests::packaging(linuxBrowser("firefox"), machine), BrowserPackaging::flatpak);
    EXPECT_EQ(Manifests::packaging(linuxBrowser("google-chrome"), machine), BrowserPackaging::absent);
    // A sandboxed copy gets no manifest: it could not start the connector anyway.
    EXPECT_TRUE(Manifests::install(linuxBrowsers(), connector, machine).written.isEmpty());

    // A native copy next to the Snap one is the one that is served, and the Snap one is still known.
    folder.make("home/.config/chromium");
    EXPECT_EQ(Manifests::packaging(linuxBrowser("chromium"), machine), BrowserPackaging::native);
    EXPECT_EQ(Manifests::sandboxedPackaging(linuxBrowser("chromium"), machine), BrowserPackaging::snap);
    EXPECT_EQ(Manifests::install(linuxBrowsers(), connector, machine).written, QStringList{"chromium"});
}
