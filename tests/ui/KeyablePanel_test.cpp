#include "PanelTestKit.h"

#include "ui/KeyablePanel.h"

#include <QAnimationDriver>
#include <QApplication>
#include <QPointer>
#include <QWindow>

#include <map>

#include <QTest>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::panelkit;

namespace {

// Animations on virtual time: they advance only when the test says so.
class ManualAnimationDriver : public QAnimationDriver {
public:
    qint64 elapsed() const override { return m_elapsed; }
    void advanceBy(double seconds)
    {
        QCoreApplication::processEvents(); // animations start on the next turn of the loop
        const qint64 end = m_elapsed + static_cast<qint64>(seconds * 1000);
        while (m_elapsed < end) {
            m_elapsed = std::min(end, m_elapsed + frame);
            advance();
            QCoreApplication::processEvents();
        }
    }

private:
    static constexpr qint64 frame = 10;
    qint64 m_elapsed = 0;
};

// A desktop whose compositing the test switches on and off.
class FakeCompositing : public WindowCompositing {
public:
    bool isCompositing() override { return m_compositing; }
    Token observe(std::function<void(bool)> observer) override
    {
        m_observers.emplace(++m_last, std::move(observer));
        return m_last;
    }
    void removeObserver(Token token) override { m_observers.erase(token); }
    void setOutline(quintptr, const QRegion&) override {}

    void change(bool compositing)
    {
        m_compositing = compositing;
        for (const auto& [token, observer] : std::map(m_observers))
            observer(compositing);
    }
    size_t observerCount() const { return m_observers.size(); }

private:
    bool m_compositing = false;
    Token m_last = 0;
    std::map<Token, std::function<void(bool)>> m_observers;
};

struct PanelWindowFixture : PanelFixture {
    ManualAnimationDriver driver;
    KeyablePanelFactory factory;

    explicit PanelWindowFixture(KeyablePanel::KeyboardFocus focus = KeyablePanel::KeyboardFocus::windowManager,
                                WindowCompositing* compositing = nullptr)
        : factory(focus, [this] { return environment(); }, compositing)
    {
        driver.install();
        viewModel = model(3);
    }
    ~PanelWindowFixture()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // a replaced window
        driver.uninstall();
    }

    std::unique_ptr<SearchViewModel> model(int count)
    {
        return std::make_unique<SearchViewModel>(windows(count), false, runtime.actions, runtime.dispatcher());
    }
    std::unique_ptr<PanelWindow> make(PanelEdge edge, SearchViewModel* shown = nullptr)
    {
        return factory.makePanel(shown ? *shown : *viewModel, edge, QSizeF(354, 332));
    }
    KeyablePanel* widget() const { return factory.panel(); }
};

const QRectF finalFrame(1566, 374, 354, 332);
const QRectF startFrame(1608, 374, 354, 332);

} // namespace

// The slide in to either edge and out again is proven on a real X server; here, what a
// showing's end or a quick next showing does to the one window.
TEST(KeyablePanel, ForgettingTheHandleHidesAShownPanelButLetsASlideOutFinish)
{
    PanelWindowFixture f;
    auto shown = f.make(PanelEdge::left);
    shown->slideIn(startFrame, finalFrame, {});
    shown.reset();
    EXPECT_FALSE(f.widget()->isVisible());

    auto leaving = f.make(PanelEdge::right);
    leaving->slideIn(startFrame, finalFrame, {});
    f.driver.advanceBy(0.2);
    bool done = false;
    leaving->slideOut([&] { done = true; });
    leaving.reset();
    f.viewModel.reset(); // the showing is over; the view keeps drawing its last state
    EXPECT_TRUE(f.widget()->isVisible());
    f.driver.advanceBy(0.25);
    EXPECT_TRUE(done);
    EXPECT_FALSE(f.widget()->isVisible());
}

// A quick second Alt+Tab finds the last showing still sliding out: it ends at once and the
// same window serves the new list; the old handle can no longer move or hide it.
TEST(KeyablePanel, ANewShowingTakesOverTheWindowFromOneStillSlidingOut)
{
    PanelWindowFixture f;
    auto first = f.make(PanelEdge::right);
    first->slideIn(startFrame, finalFrame, {});
    f.driver.advanceBy(0.2);
    bool firstDone = false;
    first->slideOut([&] { firstDone = true; });
    f.driver.advanceBy(0.05);
    KeyablePanel* window = f.widget();

    const auto next = f.model(5);
    auto second = f.make(PanelEdge::left, next.get());
    EXPECT_EQ(f.widget(), window);
    EXPECT_TRUE(firstDone);
    EXPECT_EQ(window->view()->rows().size(), 5u);
    EXPECT_EQ(window->view()->edge(), PanelEdge::left);
    EXPECT_EQ(first->frame(), QRectF());

    second->slideIn(startFrame, finalFrame, {});
    f.driver.advanceBy(0.2);
    bool staleDone = false;
    first->slideOut([&] { staleDone = true; });
    first.reset();
    EXPECT_TRUE(staleDone); // reported at once, without touching the window
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isSlidingOut());
    EXPECT_EQ(second->frame(), finalFrame);
}

QStringList& capturedMessages()
{
    static QStringList messages;
    return messages;
}

// Bypassing the window manager, the panel takes the keys with a grab; where no grab can be
// had (this test platform offers none) it tries a few times, then asks for the focus.
TEST(KeyablePanel, BypassingTheWindowManagerItRetriesTheKeyboardGrabThenAsksForTheFocus)
{
    PanelWindowFixture f(KeyablePanel::KeyboardFocus::keyboardGrab);
    auto panel = f.make(PanelEdge::right);
    EXPECT_TRUE(f.widget()->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    capturedMessages().clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        capturedMessages() << text;
    });
    panel->slideIn(startFrame, finalFrame, {});
    QTRY_VERIFY_WITH_TIMEOUT(capturedMessages().filter(QStringLiteral("asks for the focus")).size() == 1, 5000);
    const qsizetype attempts = capturedMessages().filter(QStringLiteral("grabbing the keyboard")).size();
    panel->slideOut({});
    QTest::qWait(3 * KeyablePanel::keyboardRetryMs);
    qInstallMessageHandler(previous);
    EXPECT_EQ(attempts, KeyablePanel::keyboardAttempts);
    EXPECT_EQ(capturedMessages().filter(QStringLiteral("grabbing the keyboard")).size(), attempts);
    f.driver.advanceBy(0.25);
    EXPECT_FALSE(f.widget()->isVisible()); // it had the focus: hidden, so the focus moves on
}

// The outline itself is checked on a real X server with a compositing manager that comes
// and goes; here, that another font size gets a window of its own and the window it
// replaces stops listening to the manager.
TEST(KeyablePanel, AnotherFontSizeGetsANewWindowAndOnlyTheLiveOneFollowsTheCompositingManager)
{
    FakeCompositing compositing;
    {
        PanelWindowFixture f(KeyablePanel::KeyboardFocus::windowManager, &compositing);
        f.make(PanelEdge::right).reset();
        QPointer<KeyablePanel> window = f.widget();
        f.make(PanelEdge::right).reset();
        EXPECT_EQ(f.widget(), window.data());

        PanelSettings::setFontSize(PanelFontSize::large);
        auto larger = f.make(PanelEdge::right);
        EXPECT_NE(f.widget(), window.data());
        EXPECT_EQ(f.widget()->fontSize(), PanelFontSize::large);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(compositing.observerCount(), 1u);
        EXPECT_FALSE(f.widget()->view()->isTranslucent());
        compositing.change(true);
        EXPECT_TRUE(f.widget()->view()->isTranslucent());
    }
    EXPECT_EQ(compositing.observerCount(), 0u) << "a panel that goes stops listening";
}
