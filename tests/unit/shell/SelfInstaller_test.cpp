#include "core/shell/SelfInstaller.h"

#include "core/shell/AppDelegate.h"
#include "support/ProgramFolderFixtures.h"
#include "support/TestRuntime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

struct FakeAlerts : Alerts {
    std::vector<Alert> shown;
    std::vector<int> answers; // in order; -1 once they run out
    int runModal(const Alert& alert) override
    {
        shown.push_back(alert);
        if (answers.empty())
            return -1;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
};

struct FakeCopies : RunningCopies {
    std::vector<Copy> running;
    std::vector<ProcessID> askedToQuit;
    std::optional<QString> ownLocation() override { return QStringLiteral("/media/usb/Ostrevane/bin/ostrevane"); }
    std::vector<Copy> others() override { return running; }
    void terminate(const Copy& copy) override { askedToQuit.push_back(copy.pid); }
    bool handOver(const Copy&, const LaunchRequest&) override { return false; }
    void settle(std::function<void(const LaunchRequest&)>) override {}
};

class SelfInstallerTest : public ::testing::Test {
protected:
    TestRuntime runtime;
    QTemporaryDir root;
    FakeAlerts alerts;
    FakeCopies copies;
    QStringList runs;
    std::vector<double> pauses;
    int quits = 0;
    SelfInstaller::Layout layout = SelfInstaller::Layout::linuxDesktop(root.path() + "/home");
    const QString installed = root.path() + "/home/.local/opt/Ostrevane";

    SelfInstallerTest()
    {
        layout.mountPrefixes = {root.path() + "/media/", root.path() + "/run/media/"};
        layout.desktopEntryFile = root.path() + "/home/.local/share/applications/com.local.ostrevane.desktop";
    }
    SelfInstaller::Ports ports()
    {
        SelfInstaller::Ports ports;
        ports.alerts = &alerts;
        ports.copies = &copies;
        ports.dispatcher = &runtime.dispatcher();
        ports.run = [this](const QString& program, const QStringList& arguments, bool wait) {
            runs << (QStringList{program} + arguments).join(u' ') + (wait ? " (waited)" : "");
            return true;
        };
        ports.pause = [this](double seconds) { pauses.push_back(seconds); };
        ports.quit = [this] { ++quits; };
        return ports;
    }
    bool offer(const QString& bundle) { return SelfInstaller::offerInstallIfNeeded(bundle, layout, ports()); }
    QString usbCopy(const QString& version = "2.0")
    {
        return makeProgramFolder(root.path() + "/run/media/ana/USB STICK", "Ostrevane", version);
    }
};

} // namespace

TEST_F(SelfInstallerTest, OnlyAMarkedProgramFolderOnRemovableMediaIsOfferedInstallation)
{
    const QString elsewhere = makeProgramFolder(root.path() + "/home/Downloads", "Ostrevane", "2.0");
    const QString buildFolder = root.path() + "/media/usb/build";
    QDir().mkpath(buildFolder + "/bin");
    QDir().mkpath(installed);
    for (const QString& bundle : {elsewhere, buildFolder, QString()})
        EXPECT_FALSE(offer(bundle)) << qPrintable(bundle);
    EXPECT_TRUE(alerts.shown.empty());

    alerts.answers = {1}; // "Not Now"
    EXPECT_FALSE(offer(usbCopy()));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].message, "Install Ostrevane on this computer?");
    EXPECT_FALSE(QFileInfo::exists(installed + "/bin/ostrevane")); // declining touches nothing
    EXPECT_TRUE(runs.isEmpty());
}

TEST_F(SelfInstallerTest, InstallingCopiesAddsALauncherEntryStartsTheCopyAndQuitsSoonAfter)
{
    alerts.answers = {0};
    const QString bundle = usbCopy();
    QFile::link("bin/ostrevane", bundle + "/ostrevane-link");
    ASSERT_TRUE(offer(bundle));
    EXPECT_EQ(runProgramFolder(installed), "2.0");
    EXPECT_EQ(QFileInfo(installed + "/ostrevane-link").symLinkTarget(), installed + "/bin/ostrevane");
    EXPECT_EQ(runs, QStringList{installed + "/bin/ostrevane"});
    QFile entry(root.path() + "/home/.local/share/applications/com.local.ostrevane.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(("\nExec=" + installed + "/bin/ostrevane\n").toUtf8()));
    EXPECT_EQ(runProgramFolder(bundle), "2.0"); // the drive's copy is left as it was

    runtime.advance(SelfInstaller::quitDelay);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(alerts.shown.size(), 1u); // the offer only
}

TEST_F(SelfInstallerTest, ARunningInstalledCopyIsAskedToQuitAndReplacedOthersAreLeftAlone)
{
    makeProgramFolder(root.path() + "/home/.local/opt", "Ostrevane", "1.0");
    copies.running = {{42, installed + "/bin/ostrevane"}, {77, root.path() + "/home/build/src/ostrevane"}};
    alerts.answers = {0};
    ASSERT_TRUE(offer(usbCopy()));
    EXPECT_EQ(copies.askedToQuit, std::vector<ProcessID>{42});
    EXPECT_EQ(pauses, std::vector<double>{SelfInstaller::quitWait});
    EXPECT_EQ(runProgramFolder(installed), "2.0");
}

TEST_F(SelfInstallerTest, AnUnremovableDestinationShowsInstallFailedAndThisCopyGoesOn)
{
    makeProgramFolder(root.path() + "/home/.local/opt", "Ostrevane", "1.0");
    Unremovable lock(installed);
    if (!lock.held())
        GTEST_SKIP() << "this file system cannot make a folder unremovable";
    alerts.answers = {0, 0};
    EXPECT_FALSE(offer(usbCopy()));
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[1].message, "Install failed");
    EXPECT_EQ(runProgramFolder(installed), "1.0");
    EXPECT_TRUE(runs.isEmpty());
    runtime.advance(5);
    EXPECT_EQ(quits, 0);
}
