// The activation hotkey against a real X server: the service on Qt's own xcb connection,
// presses sent with xdotool, and a second client of the test's own that plays "another
// program" (it grabs keys, changes the keyboard mapping).
#include "QtOnXvfb.h"

#include "core/input/GlobalHotKey.h"
#include "platform/qt/QtDispatcher.h"
#include "platform/x11/X11HotkeyService.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace ostrevane;
using x11test::XvfbSession;

namespace {

XvfbSession*& g_session = x11test::qtSession();

constexpr quint32 tab = 48, x = 7;
constexpr quint32 option = 0x800, control = 0x1000;
constexpr xcb_keycode_t tabKeycode = 23; // in Xvfb's default keymap
constexpr xcb_keycode_t spareKeycode = 200; // mapped to nothing by default
constexpr xcb_keysym_t tabKeysym = 0xff09;

// The other program: its own connection to the server.
class OtherClient {
public:
    OtherClient() : m_c(xcb_connect(g_session->display().constData(), nullptr)) {}
    ~OtherClient()
    {
        xcb_ungrab_key(m_c, XCB_GRAB_ANY, root(), XCB_MOD_MASK_ANY);
        xcb_disconnect(m_c);
    }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root; }

    // Whether this client may grab `keycode` with Alt: false when another client holds it.
    // A grab it gets is kept only when `keep`.
    bool grabAlt(xcb_keycode_t keycode, bool keep = false)
    {
        auto* error = xcb_request_check(m_c, xcb_grab_key_checked(m_c, 0, root(), XCB_MOD_MASK_1, keycode,
                                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        const bool granted = !error;
        std::free(error);
        if (granted && !keep)
            ungrabAlt(keycode);
        return granted;
    }
    void ungrabAlt(xcb_keycode_t keycode)
    {
        xcb_ungrab_key(m_c, keycode, root(), XCB_MOD_MASK_1);
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr)); // processed
    }
    // Maps one keycode to `keysym` (0: nothing), as xmodmap does: every client hears a
    // MappingNotify.
    void map(xcb_keycode_t keycode, xcb_keysym_t keysym)
    {
        const xcb_keysym_t syms[2] = {keysym, keysym};
        xcb_change_keyboard_mapping(m_c, 1, keycode, 2, syms);
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    }

private:
    xcb_connection_t* m_c;
};

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(g_session->display()));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

// Runs Qt's event loop until `condition` holds; false after the time-out (a hung test).
bool pumpUntil(const std::function<bool()>& condition)
{
    const QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class X11HotkeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(g_session && g_session->isReady()) << (g_session ? g_session->failure().toStdString() : "");
        ASSERT_TRUE(QGuiApplication::platformName() == QStringLiteral("xcb"));
    }
    void TearDown() override { run(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }

    std::unique_ptr<GlobalHotKey> make(quint32 keyCode, quint32 modifiers, int& presses)
    {
        return std::make_unique<GlobalHotKey>(registry, keyCode, modifiers, [&presses] { ++presses; });
    }
    // Presses keys as a person would (xdotool names: "alt+Tab") and waits for a handler.
    bool pressReaches(const QString& keys, const int& presses)
    {
        const int before = presses;
        return run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys})
            && pumpUntil([&] { return presses > before; });
    }
    // Waits until another client can no longer take `keycode` with Alt: our grab is there.
    bool heldByUs(xcb_keycode_t keycode)
    {
        return pumpUntil([&] { return !other.grabAlt(keycode); });
    }

    QtDispatcher dispatcher;
    X11HotkeyService service;
    std::shared_ptr<GlobalHotKey::Registry> registry = std::make_shared<GlobalHotKey::Registry>(service, dispatcher);
    OtherClient other;
};

} // namespace

// Settings written again with the same chord register it anew before the old registration
// goes: Alt+Tab must stay ours. A changed chord lets the old keys go.
TEST_F(X11HotkeyServiceTest, TheSameChordRegisteredAgainStaysHeldAndAChangedOneFreesTheOldKeys)
{
    int oldPresses = 0, newPresses = 0, xPresses = 0;
    auto old = make(tab, option, oldPresses);
    ASSERT_TRUE(old->isRegistered());
    auto replacement = make(tab, option, newPresses);
    old.reset();
    EXPECT_TRUE(replacement->isRegistered());
    EXPECT_FALSE(other.grabAlt(tabKeycode));
    EXPECT_TRUE(pressReaches(QStringLiteral("alt+Tab"), newPresses));
    EXPECT_EQ(oldPresses, 0);

    auto changed = make(x, control | option, xPresses);
    replacement.reset();
    EXPECT_TRUE(other.grabAlt(tabKeycode)); // Alt+Tab is free for others again
    EXPECT_TRUE(pressReaches(QStringLiteral("ctrl+alt+x"), xPresses));
}

TEST_F(X11HotkeyServiceTest, TheGrabFollowsTheKeyToAnotherKeycodeAndBackAfterALayoutChange)
{
    int presses = 0;
    auto hotkey = make(tab, option, presses);
    other.map(spareKeycode, tabKeysym); // Tab moves to another key
    other.map(tabKeycode, 0);
    ASSERT_TRUE(heldByUs(spareKeycode));
    EXPECT_TRUE(pressReaches(QStringLiteral("alt+Tab"), presses)); // xdotool finds Tab on the new key

    ASSERT_TRUE(run(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), QStringLiteral("de")}));
    ASSERT_TRUE(heldByUs(tabKeycode)); // the new keyboard puts Tab back on its own key
    EXPECT_TRUE(pressReaches(QStringLiteral("alt+Tab"), presses));
    EXPECT_TRUE(hotkey->isRegistered());
}

// A chord another client holds is taken once that client lets it go: at the next retry
// when one is asked for (the guide opened), by the retry timer when nobody asks.
TEST_F(X11HotkeyServiceTest, AChordAnotherClientHoldsIsTakenOnceFreedAtTheNextRetryOrByTheTimer)
{
    int presses = 0;
    for (const bool asked : {true, false}) {
        SCOPED_TRACE(asked ? "retried when asked" : "retried by the timer");
        // The window manager's Alt+Tab (once the previous round's grab of ours has gone).
        ASSERT_TRUE(pumpUntil([&] { return other.grabAlt(tabKeycode, true); }));
        auto hotkey = make(tab, option, presses);
        EXPECT_TRUE(hotkey->isHeldElsewhere());
        if (asked) {
            registry->retryNow();
            EXPECT_TRUE(hotkey->isHeldElsewhere());
        }
        other.ungrabAlt(tabKeycode); // the user unbinds it there
        if (asked) {
            registry->retryNow();
            EXPECT_TRUE(hotkey->isRegistered());
        }
        EXPECT_TRUE(pumpUntil([&] { return hotkey->isRegistered(); }));
        EXPECT_TRUE(pressReaches(QStringLiteral("alt+Tab"), presses));
    }
}

int main(int argc, char** argv)
{
    return x11test::runTestsWithQtOnXvfb(argc, argv, XvfbSession::WindowManager::openbox);
}
