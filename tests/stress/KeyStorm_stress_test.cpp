// Storms of keys and clicks at the real switcher over real xterms: random sequences of
// Alt, Shift, Tab, Escape, Return, letters and clicks with 0-20 ms between events. The
// closing and show-desktop shortcuts are moved to a chord the storm never presses, so
// every window must survive and one of them must be active afterwards. About two minutes;
// run by scripts/storm-and-churn.sh, not by the test command.
//
// OSTREVANE_STORM_SEED picks another sequence of storms (the seed is printed).
#include "FakeInput.h"

#include "../e2e/E2eDesktop.h"

#include <QSet>

#include <chrono>
#include <random>
#include <thread>

using namespace ostrevane::e2e;
using ostrevane::stress::FakeInput;

namespace {

constexpr int sequences = 1000;
constexpr int maxGapMs = 20;
constexpr Timeout settleTimeout = 10s;
const QStringList titles = {QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Gamma"),
                            QStringLiteral("Delta"), QStringLiteral("Epsilon")};
// F12 with Control and Command (Super): nothing in the storm presses it.
const QString unreachable = QStringLiteral("{\"keyCode\":111,\"carbonModifiers\":4352}");

class KeyStorm : public E2eSuite {
protected:
    void SetUp() override
    {
        E2eSuite::SetUp();
        const char* seed = std::getenv("OSTREVANE_STORM_SEED");
        m_random.seed(seed ? std::strtoul(seed, nullptr, 10) : 20261206u);
        std::cout << "storm seed " << (seed ? seed : "20261206") << std::endl;
    }

    int gap() { return std::uniform_int_distribution<int>(0, maxGapMs)(m_random); }
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }
    const char* letter()
    {
        static const char* const letters[] = {"a", "d", "e", "l", "p", "s", "t", "w", "x", "q", "g", "m"};
        return letters[pick(int(std::size(letters)))];
    }

    // Each step is sent, then a random pause.
    void step(const std::function<void()>& send)
    {
        send();
        m_input->flush();
        std::this_thread::sleep_for(std::chrono::milliseconds(gap()));
    }

    // Outside the panel (left of it), or in its left part, away from the rows' close buttons.
    void click()
    {
        const QSize screen = m_screen;
        const bool inPanel = pick(10) < 3;
        const int x = inPanel ? screen.width() - 300 + pick(60) : pick(screen.width() - 420);
        const int y = pick(screen.height());
        step([&] { m_input->click(x, y); });
    }

    void chord(int tabs, bool shift)
    {
        step([&] { m_input->press("Alt_L"); });
        if (shift)
            step([&] { m_input->press("Shift_L"); });
        for (int i = 0; i < tabs; ++i)
            step([&] { m_input->tap("Tab"); });
        if (shift)
            step([&] { m_input->release("Shift_L"); });
    }

    void sequence()
    {
        switch (pick(7)) {
        case 0: // a quick switch, one to three rows down (or up, with Shift)
            chord(1 + pick(3), pick(4) == 0);
            step([&] { m_input->release("Alt_L"); });
            break;
        case 1: // cancelled
            chord(1, false);
            step([&] { m_input->tap("Escape"); });
            step([&] { m_input->release("Alt_L"); });
            break;
        case 2: // a search, opened or cancelled
            chord(1, false);
            step([&] { m_input->tap("Return"); });
            step([&] { m_input->release("Alt_L"); });
            for (int i = pick(5); i >= 0; --i)
                step([&] { m_input->tap(letter()); });
            step([&] { m_input->tap(pick(2) ? "Return" : "Escape"); });
            break;
        case 3: // moves and groups with Alt held
            chord(1, false);
            for (int i = pick(4); i >= 0; --i)
                step([&] { m_input->tap(letter()); });
            step([&] { m_input->release("Alt_L"); });
            break;
        case 4: // a click while the panel is up
            chord(1, false);
            click();
            step([&] { m_input->release("Alt_L"); });
            break;
        default: // anything, in any order
            chaos();
        }
    }

    void chaos()
    {
        for (int i = 2 + pick(9); i > 0; --i) {
            switch (pick(9)) {
            case 0: step([&] { m_input->press("Alt_L"); }); break;
            case 1: step([&] { m_input->release("Alt_L"); }); break;
            case 2: step([&] { m_input->press("Shift_L"); }); break;
            case 3: step([&] { m_input->release("Shift_L"); }); break;
            case 4: step([&] { m_input->tap("Tab"); }); break;
            case 5: step([&] { m_input->tap("Escape"); }); break;
            case 6: step([&] { m_input->tap("Return"); }); break;
            case 7: step([&] { m_input->tap(letter()); }); break;
            default: click();
            }
        }
        step([&] { m_input->releaseAll(); });
    }

    std::mt19937 m_random;
    std::unique_ptr<FakeInput> m_input;
    QSize m_screen;
};

} // namespace

TEST_F(KeyStorm, AThousandRandomSequencesLeaveTheSwitcherHiddenTheKeyboardFreeAndEveryWindowOpen)
{
    // No installed applications: a search must not start programs.
    const QByteArray shortcuts = QStringLiteral("{\"closeSelected\":%1,\"desktop\":%1}").arg(unreachable).toUtf8();
    app = desktop->startSwitcher(
        {.settings = QStringLiteral("<key>Ostrevane.Shortcuts.v1</key><data>%1</data>")
                         .arg(QString::fromLatin1(shortcuts.toBase64())),
         .environment = {{QStringLiteral("XDG_DATA_DIRS"), desktop->emptyFolder()}}});
    ASSERT_TRUE(app) << "the switcher did not start";
    for (const QString& title : titles) {
        clients.push_back(desktop->startXterm(title));
        ASSERT_TRUE(clients.back()) << "no xterm " << title.toStdString();
    }
    const QStringList managed = desktop->managedWindows();
    const QSet<QString> before(managed.begin(), managed.end());
    m_screen = desktop->screenSize();
    m_input = std::make_unique<FakeInput>(desktop->display());
    ASSERT_TRUE(m_input->isUsable());

    for (int i = 0; i < sequences; ++i)
        sequence();
    m_input->releaseAll();
    // A search left open waits for the person: Escape ends it, as it would for them.
    for (int i = 0; i < 3 && desktop->visibleWindowOf(app->pid()); ++i) {
        m_input->tap("Escape");
        m_input->flush();
        desktop->waitForNoVisibleWindow(app->pid(), 2s);
    }

    EXPECT_TRUE(app->isRunning()) << app->status().toStdString();
    // Most sequences summon the panel; a storm that never reached it proves nothing.
    app->waitForLine(QStringLiteral("<every line so far>"), 2s);
    const qsizetype showings = app->transcript().count(QStringLiteral("ostrevane.panel: shown: "));
    std::cout << showings << " showings" << std::endl;
    EXPECT_GT(showings, sequences / 4);
    EXPECT_TRUE(desktop->waitForNoVisibleWindow(app->pid(), settleTimeout));
    EXPECT_TRUE(desktop->waitUntil([&] { return desktop->keyboardIsFree() && desktop->pointerIsFree(); }, settleTimeout))
        << "a grab outlived the storm";
    const QStringList after = desktop->managedWindows();
    EXPECT_EQ(QSet<QString>(after.begin(), after.end()), before) << "a window was closed or opened";
    EXPECT_TRUE(desktop->waitUntil([&] { return titles.contains(desktop->activeWindowTitle()); }, settleTimeout))
        << "active: " << desktop->activeWindowTitle().toStdString();
}
