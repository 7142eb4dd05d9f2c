#include "platform/browser/ExtensionBrowserAutomation.h"

#include "BrowserTestKit.h"
#include "support/QtPrinting.h"

#include <QFile>

#include <deque>
#include <mutex>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ostrevane;
using namespace ostrevane::browsertest;

namespace {

// The program's end of the socket, with the browsers behind the fake connectors named
// by the test in the order they connect (they all run in this process).
class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(start()); }
    // Before the members its callbacks write to.
    void TearDown() override { automation.reset(); }

    bool start()
    {
        ExtensionBrowserAutomation::Options options;
        options.socketPath = folder.path();
        options.browsers = linuxBrowsers();
        options.onTabsChanged = [this](const QString& id) {
            std::lock_guard lock(mutex);
            changes << id;
        };
        options.identify = [this](pid_t) -> std::optional<BrowserProcess> {
            std::lock_guard lock(mutex);
            if (arriving.empty())
                return std::nullopt;
            BrowserProcess browser{4242, arriving.front()};
            arriving.pop_front();
            return browser;
        };
        options.activationTimeoutSeconds = activationTimeout;
        automation = std::make_unique<ExtensionBrowserAutomation>(options);
        return automation->start(&error);
    }

    // A fake connector whose browser runs the executable `executable`, once registered.
    std::unique_ptr<FakeExtension> connect(const char* executable)
    {
        const size_t before = automation->connectedBrowsers().size();
        {
            std::lock_guard lock(mutex);
            arriving.push_back(QString::fromLatin1(executable));
        }
        auto extension = std::make_unique<FakeExtension>(folder.path());
        EXPECT_TRUE(extension->isConnected());
        EXPECT_TRUE(eventually([&] { return automation->connectedBrowsers().size() == before + 1; }));
        return extension;
    }

    // A list of its own: a shared copy's release would race with the next append, which
    // reuses the array in place once it is no longer shared.
    QStringList changesSoFar()
    {
        std::lock_guard lock(mutex);
        return QStringList(changes.cbegin(), changes.cend());
    }

    SocketFolder folder;
    QString error;
    double activationTimeout = 30;
    std::unique_ptr<ExtensionBrowserAutomation> automation;
    std::mutex mutex;
    std::deque<QString> arriving;
    QStringList changes;
};

} // namespace

// Listing through a live connector is proven with real browsers end to end; a browser
// without one is answered at once, on the caller's thread.
TEST_F(AutomationTest, ABrowserWithoutAConnectorIsAnsweredAtOnceOnTheCallersThread)
{
    const auto chromium = connect("chromium");
    EXPECT_EQ(automation->listTabs(linuxBrowser("firefox-esr"), 30), std::nullopt);
    const std::thread::id caller = std::this_thread::get_id();
    std::optional<std::optional<bool>> answered;
    std::thread::id answeredOn;
    automation->activateTabAsync(linuxBrowser("firefox-esr"), {}, [&](std::optional<bool> selected) {
        answered = selected;
        answeredOn = std::this_thread::get_id();
    });
    ASSERT_TRUE(answered.has_value());
    EXPECT_EQ(*answered, std::nullopt);
    EXPECT_EQ(answeredOn, caller);
}

TEST_F(AutomationTest, EachBrowserIsAskedThroughItsOwnConnectorAndTheLatestOneOfARowWins)
{
    const auto firefox = connect("firefox-esr");
    firefox->answerWith(
        [](const QJsonObject&) { return tabsAnswer(rowsOf({QJsonArray{1, 1, true, "Fox", "about:blank"}})); });
    const auto oldChromium = connect("chromium");
    oldChromium->answerWith([](const QJsonObject&) { return tabsAnswer(rowsOf({QJsonArray{1, 1, true, "Old", ""}})); });
    const auto chromium = connect("chromium");
    chromium->answerWith([](const QJsonObject&) { return tabsAnswer(rowsOf({QJsonArray{1, 1, true, "New", ""}})); });

    EXPECT_EQ(automation->listTabs(linuxBrowser("firefox-esr"), 30)->at(0).title, "Fox");
    EXPECT_EQ(automation->listTabs(linuxBrowser("chromium"), 30)->at(0).title, "New");
    EXPECT_EQ(oldChromium->requests(), 0);
}

TEST_F(AutomationTest, ABrowserThatDoesNotAnswerInTimeGivesNothingAndItsLateAnswerIsDropped)
{
    const auto chromium = connect("chromium");
    std::atomic<int> asked{0};
    chromium->answerWith([&](const QJsonObject&) -> std::optional<QJsonObject> {
        if (++asked == 1)
            std::this_thread::sleep_for(300ms); // busy: answers the first request too late
        return tabsAnswer(rowsOf({QJsonArray{1, asked.load(), true, "Tab", ""}}));
    });
    EXPECT_EQ(automation->listTabs(linuxBrowser("chromium"), 0.05), std::nullopt);
    // The next request gets its own answer, not the late one to the first.
    const auto rows = automation->listTabs(linuxBrowser("chromium"), 30);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ(rows->front().tabIndex, 2);
}

TEST_F(AutomationTest, ABrowserThatGoesAwayFailsItsWaitingRequestsAtOnceAndSaysItsTabsChanged)
{
    const auto chromium = connect("chromium");
    std::optional<std::vector<BrowserTabRow>> rows{std::vector<BrowserTabRow>{}};
    std::optional<bool> activated = true;
    std::atomic<bool> activationAnswered{false};
    automation->activateTabAsync(linuxBrowser("chromium"), {"https://a/", "A", 1, 1}, [&](std::optional<bool> r) {
        activated = r;
        activationAnswered = true;
    });
    std::thread waiter([&] { rows = automation->listTabs(linuxBrowser("chromium"), 30); });
    FrameReader reader;
    ASSERT_TRUE(reader.next(chromium->fd(), 5s)); // the activation
    ASSERT_TRUE(reader.next(chromium->fd(), 5s)); // the listing
    chromium->disconnect();
    waiter.join(); // long before the 30 s time-out
    EXPECT_EQ(rows, std::nullopt);
    EXPECT_TRUE(eventually([&] { return activationAnswered.load(); }));
    EXPECT_EQ(activated, std::nullopt);
    EXPECT_TRUE(eventually([&] { return automation->connectedBrowsers().empty(); }));
    EXPECT_EQ(changesSoFar(), (QStringList{"chromium", "chromium"})); // connected, gone
}

// A successful activation is proven with real browsers end to end.
TEST_F(AutomationTest, AnActivationTheBrowserNeverAnswersGivesNothingOnceItTimesOut)
{
    activationTimeout = 0.05;
    automation.reset();
    ASSERT_TRUE(start());
    const auto chromium = connect("chromium");
    chromium->answerWith([](const QJsonObject&) { return std::nullopt; });
    std::atomic<bool> answered{false};
    std::optional<bool> selected = true;
    automation->activateTabAsync(linuxBrowser("chromium"), {}, [&](std::optional<bool> r) {
        selected = r;
        answered = true;
    });
    ASSERT_TRUE(eventually([&] { return answered.load(); }));
    EXPECT_EQ(selected, std::nullopt);
}

TEST_F(AutomationTest, MalformedMessagesAreSkippedAndAnOversizedOneEndsTheConnection)
{
    const auto chromium = connect("chromium");
    FrameReader reader;
    std::optional<std::vector<BrowserTabRow>> rows;
    std::thread waiter([&] { rows = automation->listTabs(linuxBrowser("chromium"), 30); });
    const std::optional<QJsonObject> request = reader.next(chromium->fd(), 5s);
    ASSERT_TRUE(request);
    chromium->sendRaw(NativeMessaging::frameJson("{\"id\":", 100));
    chromium->sendRaw(NativeMessaging::frameJson("\xFF\xFE", 100));
    QJsonObject answer = tabsAnswer(rowsOf({QJsonArray{1, 1, false, "Kept", ""}}));
    answer.insert("id", request->value("id"));
    chromium->send(answer);
    waiter.join();
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ(rows->at(0).title, "Kept");

    // A length beyond what any browser message may be: the stream is not trusted further.
    const quint32 huge = NativeMessaging::maxFromBrowser + 1;
    chromium->sendRaw(QByteArray(reinterpret_cast<const char*>(&huge), 4));
    EXPECT_TRUE(eventually([&] { return automation->connectedBrowsers().empty(); }));
}

TEST(BrowserSocketListening, AStaleSocketIsReplacedButSomethingElseAtThePathIsLeftAlone)
{
    SocketFolder folder;
    {
        // A run that crashed leaves its socket file behind.
        QString error;
        UniqueFd crashed = BrowserSocket::listen(folder.path(), &error);
        ASSERT_TRUE(crashed.isValid()) << qPrintable(error);
    }
    ASSERT_TRUE(QFile::exists(folder.path()));
    ExtensionBrowserAutomation automation({folder.path(), linuxBrowsers(), {}, {}, 1.5});
    QString error;
    ASSERT_TRUE(automation.start(&error)) << qPrintable(error);
    EXPECT_TRUE(FakeExtension(folder.path()).isConnected());
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.path()).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    SocketFolder other;
    QFile file(other.path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("the user's own file");
    file.close();
    ExtensionBrowserAutomation refused({other.path(), linuxBrowsers(), {}, {}, 1.5});
    EXPECT_FALSE(refused.start(&error));
    EXPECT_TRUE(error.contains(other.path())) << qPrintable(error);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "the user's own file");
}

TEST(BrowserSocketListening, TheProgramRemovesItsSocketWhenItEndsButNotOneThatReplacedIt)
{
    SocketFolder folder;
    {
        ExtensionBrowserAutomation automation({folder.path(), linuxBrowsers(), {}, {}, 1.5});
        ASSERT_TRUE(automation.start());
    }
    EXPECT_FALSE(QFile::exists(folder.path()));

    auto first = std::make_unique<ExtensionBrowserAutomation>(
        ExtensionBrowserAutomation::Options{folder.path(), linuxBrowsers(), {}, {}, 1.5});
    ASSERT_TRUE(first->start());
    ExtensionBrowserAutomation second({folder.path(), linuxBrowsers(), {}, {}, 1.5});
    ASSERT_TRUE(second.start()); // a new copy takes the socket over
    first.reset();
    EXPECT_TRUE(QFile::exists(folder.path()));
    EXPECT_TRUE(FakeExtension(folder.path()).isConnected());
}

// The socket's folder and file keep other users out; these tests open them up on
// purpose to see the credential checks themselves. Only root can act as another user.
TEST(BrowserSocketPeers, AConnectorOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    SocketFolder folder;
    std::atomic<int> identified{0};
    ExtensionBrowserAutomation automation({folder.path(), linuxBrowsers(), {}, [&](pid_t) {
                                               ++identified;
                                               return std::optional<BrowserProcess>();
                                           }, 1.5});
    ASSERT_TRUE(automation.start());
    ::chmod(QFile::encodeName(folder.dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(folder.path()).constData(), 0666);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(folder.path()).constData(), sizeof address.sun_path - 1);

    // The child keeps its connection open: it ends well only when the program closes it.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ::_exit(3);
        ::alarm(10);
        char byte = 0;
        ::_exit(::read(fd, &byte, 1) <= 0 ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the program kept the other user's connection";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(identified, 0);
    EXPECT_TRUE(automation.connectedBrowsers().empty());
}

TEST(BrowserSocketPeers, AListenerOfAnotherUserIsNotTrustedByTheConnector)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    SocketFolder folder;
    ::chmod(QFile::encodeName(folder.dir.path()).constData(), 0777);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        UniqueFd listener = BrowserSocket::listen(folder.path(), nullptr);
        ::chmod(QFile::encodeName(folder.path()).constData(), 0666);
        const char byte = listener.isValid() ? 1 : 0;
        [[maybe_unused]] auto written = ::write(ready[1], &byte, 1);
        ::pause(); // until killed
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 1);
    QString error;
    EXPECT_FALSE(BrowserSocket::connectTo(folder.path(), &error).isValid());
    EXPECT_TRUE(error.contains("another user")) << qPrintable(error);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
}
