#include "PanelTestKit.h"

#include "ui/KeyablePanel.h"

#include <QAnimationDriver>
#include <QApplication>
#include <QPointer>
#include <QWindow>

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

struct PanelWindowFixture : PanelFixture {
    ManualAnimationDriver driver;
    KeyablePanelFactory factory{[](QWindow*) {}, [this] { return environment(); }};

    PanelWindowFixture()
    {
        driver.install();
        viewModel = std::make_unique<SearchViewModel>(windows(3), false, runtime.actions, runtime.dispatcher());
    }
    ~PanelWindowFixture()
    {
        while (KeyablePanel* panel = shownPanel())
            delete panel;
        driver.uninstall();
    }

    std::unique_ptr<PanelWindow> make(PanelEdge edge) { return factory.makePanel(*viewModel, edge, QSizeF(354, 332)); }
    static KeyablePanel* shownPanel()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* panel = qobject_cast<KeyablePanel*>(widget))
                return panel;
        }
        return nullptr;
    }
    static void deleteLaterNow() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

const QRectF finalFrame(1566, 374, 354, 332);
const QRectF startFrame(1608, 374, 354, 332);

} // namespace

TEST(KeyablePanel, IsAFramelessToolWindowThatSlidesInToItsFinalFrameAndReportsTheEnd)
{
    PanelWindowFixture f;
    auto panel = f.make(PanelEdge::right);
    KeyablePanel* widget = PanelWindowFixture::shownPanel();
    ASSERT_NE(widget, nullptr);
    const Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    EXPECT_EQ(widget->windowFlags() & flags, flags);
    EXPECT_TRUE(KeyablePanel::isPanelWindow(widget->windowHandle()));

    int completions = 0;
    panel->slideIn(startFrame, finalFrame, [&] { ++completions; });
    EXPECT_TRUE(widget->isVisible());
    f.driver.advanceBy(0.07);
    EXPECT_GT(panel->frame().x(), 1566);
    EXPECT_EQ(completions, 0);
    f.driver.advanceBy(0.1);
    EXPECT_EQ(panel->frame(), finalFrame);
    EXPECT_DOUBLE_EQ(widget->windowOpacity(), 1.0);
    EXPECT_EQ(completions, 1);
}

TEST(KeyablePanel, SlidesOutByItsWidthPlusSixteenThenHidesAndDeletesItself)
{
    for (const auto& [edge, endX] : {std::pair{PanelEdge::right, 1566 + 370}, std::pair{PanelEdge::left, 1566 - 370}}) {
        PanelWindowFixture f;
        auto panel = f.make(edge);
        panel->slideIn(startFrame, finalFrame, {});
        f.driver.advanceBy(0.2);
        QPointer<KeyablePanel> widget = PanelWindowFixture::shownPanel();
        double lastX = -1;
        panel->slideOut([&] { lastX = widget ? widget->x() : -2; });
        f.driver.advanceBy(0.25);
        EXPECT_DOUBLE_EQ(lastX, endX);
        PanelWindowFixture::deleteLaterNow();
        EXPECT_TRUE(widget.isNull());
    }
}

TEST(KeyablePanel, ForgettingTheHandleRemovesAShownPanelButLetsASlideOutFinish)
{
    PanelWindowFixture f;
    auto shown = f.make(PanelEdge::left);
    shown->slideIn(startFrame, finalFrame, {});
    QPointer<KeyablePanel> widget = PanelWindowFixture::shownPanel();
    shown.reset();
    PanelWindowFixture::deleteLaterNow();
    EXPECT_TRUE(widget.isNull());

    auto leaving = f.make(PanelEdge::right);
    leaving->slideIn(startFrame, finalFrame, {});
    f.driver.advanceBy(0.2);
    bool done = false;
    leaving->slideOut([&] { done = true; });
    leaving.reset();
    f.viewModel.reset(); // the showing is over; the view keeps drawing its last state
    PanelWindowFixture::deleteLaterNow();
    ASSERT_NE(PanelWindowFixture::shownPanel(), nullptr);
    f.driver.advanceBy(0.25);
    EXPECT_TRUE(done);
}
