#include "PanelTestKit.h"

#include "core/Localization.h"
#include "core/OnboardingManager.h"
#include "ui/OnboardingWindow.h"
#include "ui/PanelStyle.h"

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

using namespace ostrevane;
using namespace ostrevane::panelkit;

// Renders the panel in its main situations to PNG files for review, when
// OSTREVANE_SCREENSHOT_DIR names a folder; skipped otherwise.

namespace {

// A rounded square in `colour` with a white letter, like an application icon.
ImageHandle appIcon(QColor colour, const QString& letter)
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(8, 8, 112, 112), 26, 26);
    QFont font;
    font.setPixelSize(64);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(8, 8, 112, 112), Qt::AlignCenter, letter);
    return std::make_shared<const QImage>(image);
}

// A window picture: a title bar over lines of text.
ImageHandle windowPicture(QColor body)
{
    QImage image(320, 220, QImage::Format_ARGB32_Premultiplied);
    image.fill(body);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 320, 26), body.darker(130));
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRect(20, 44 + i * 20, 120 + (i * 37) % 160, 8), body.darker(160));
    return std::make_shared<const QImage>(image);
}

struct Scene {
    std::vector<SwitchItem> items;
    TabGroupItem chrome;
};

Scene makeScene(TestRuntime& runtime)
{
    const ImageHandle terminal = appIcon(QColor(50, 50, 56), QStringLiteral(">"));
    const ImageHandle editor = appIcon(QColor(40, 120, 240), QStringLiteral("E"));
    const ImageHandle chromeIcon = appIcon(QColor(240, 140, 60), QStringLiteral("C"));
    auto window = [](const QString& app, const QString& title, ImageHandle icon, quint32 id) {
        WindowItem w = panelkit::window(app, title);
        w.appIcon = std::move(icon);
        w.cgWindowID = id;
        return w;
    };
    std::vector<TabItem> tabs;
    const QStringList titles{QStringLiteral("Inbox (3) — Mail"), QStringLiteral("Ostrevane — pull request #42"),
                             QStringLiteral("在线文档 · 设计评审")};
    for (int i = 0; i < titles.size(); ++i) {
        tabs.push_back(fixtures::tab(QStringLiteral("com.google.Chrome"), titles[i],
                                     QStringLiteral("https://site%1.example/page").arg(i), 1, i + 1, i == 1));
        tabs.back().appIcon = chromeIcon;
    }
    TabGroupItem chrome = fixtures::tabGroup(QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome"), tabs);
    chrome.appIcon = chromeIcon;
    runtime.actions.runningUserApps.insert(QStringLiteral("com.example.mail"));
    runtime.actions.capabilities.insert(QStringLiteral("com.example.mail"), CloseCapability::quit());
    AppItem mail = fixtures::app(QStringLiteral("com.example.mail"), QStringLiteral("Mail"), QStringLiteral("/x"));
    mail.icon = appIcon(QColor(40, 170, 100), QStringLiteral("M"));
    std::vector<SwitchItem> items{
        SwitchItem(window(QStringLiteral("Terminal"), QStringLiteral("~/src/ostrevane — make"), terminal, 1)),
        SwitchItem(window(QStringLiteral("Editor"), QStringLiteral("SearchView.cpp — Ostrevane"), editor, 2)),
        SwitchItem(chrome),
        SwitchItem(window(QStringLiteral("Editor"), QStringLiteral("notes.md"), editor, 3)),
        SwitchItem(mail),
    };
    items.insert(items.end(), tabs.begin(), tabs.end());
    return Scene{items, chrome};
}

class Screenshots : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = qEnvironmentVariable("OSTREVANE_SCREENSHOT_DIR");
        if (m_dir.isEmpty())
            GTEST_SKIP() << "set OSTREVANE_SCREENSHOT_DIR to render the panel";
        QDir().mkpath(m_dir);
    }

    // Shows the scene with its second row highlighted, then `prepare`s it and saves it.
    void shoot(const QString& name, PanelEdge edge, PanelFontSize font,
               const std::function<void(PanelFixture&, Scene&)>& prepare, AppLanguage language = AppLanguage::english)
    {
        PanelFixture f;
        Localization::shared().setLanguage(language);
        Scene scene = makeScene(f.runtime);
        f.thumbnails = [](quint32 id) { return windowPicture(id % 2 ? QColor(236, 236, 240) : QColor(40, 44, 52)); };
        PanelSettings::setFontSize(font);
        const double s = PanelStyle::fontScale(font);
        f.show(scene.items, edge, QSize(354, static_cast<int>(std::min(620 * s, 24 * s + 58 * s + 48 * s * 7 + 10))));
        f.viewModel->setSelectedIndex(1);
        prepare(f, scene);
        save(f, name);
    }

    // The panel over a desktop-like backdrop, flush with its screen edge.
    void save(PanelFixture& f, const QString& name)
    {
        f.runtime.runUntilIdle();
        f.view->finishAnimations();
        const QPixmap panel = f.view->grab();
        QImage out(panel.width() + 60, panel.height() + 40, QImage::Format_ARGB32_Premultiplied);
        out.fill(QColor(80, 90, 124));
        QPainter p(&out);
        p.drawPixmap(f.view->edge() == PanelEdge::right ? out.width() - panel.width() : 0, 20, panel);
        p.end();
        ASSERT_TRUE(out.save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

    QString m_dir;
};

} // namespace

TEST_F(Screenshots, MainListSearchTabListAndChinese)
{
    const auto nothing = [](PanelFixture&, Scene&) {};
    shoot(QStringLiteral("panel-right-normal"), PanelEdge::right, PanelFontSize::normal,
          [](PanelFixture& f, Scene&) { f.viewModel->markClosing(f.view->rows()[4].item); });
    shoot(QStringLiteral("panel-left-small"), PanelEdge::left, PanelFontSize::small, nothing);
    shoot(QStringLiteral("panel-right-large"), PanelEdge::right, PanelFontSize::large, nothing);
    shoot(QStringLiteral("panel-search"), PanelEdge::right, PanelFontSize::normal, [](PanelFixture& f, Scene&) {
        f.viewModel->setSearchActive(true);
        f.viewModel->setQuery(QStringLiteral("edit"));
    });
    shoot(QStringLiteral("panel-tabs"), PanelEdge::right, PanelFontSize::normal,
          [](PanelFixture& f, Scene& scene) { f.viewModel->openTabGroup(SwitchItem(scene.chrome), false); });
    shoot(QStringLiteral("panel-zh"), PanelEdge::right, PanelFontSize::normal, nothing, AppLanguage::simplifiedChinese);
}

TEST_F(Screenshots, EmptyPanelAndGuide)
{
    PanelFixture f;
    f.runtime.accessibility.setTrusted(false);
    f.show({}, PanelEdge::left, QSize(354, 332));
    save(f, QStringLiteral("panel-empty"));

    OnboardingManager::shared().setStage(OnboardingStage::movement);
    f.show(panelkit::windows(4), PanelEdge::right, QSize(354, 560));
    save(f, QStringLiteral("panel-guide"));

    for (const bool trusted : {false, true}) {
        f.runtime.accessibility.setTrusted(trusted);
        OnboardingManager::shared().setStage(trusted ? OnboardingStage::summon : OnboardingStage::permissions);
        OnboardingSummonView::Environment env;
        env.onboarding = &OnboardingManager::shared();
        env.dispatcher = &f.runtime.dispatcher();
        env.accessibilityTrusted = [&f] { return f.runtime.accessibility.isProcessTrusted(); };
        OnboardingWindow window(env, nullptr, {});
        window.show();
        QCoreApplication::processEvents();
        const QString name = trusted ? QStringLiteral("guide-summon") : QStringLiteral("guide-permissions");
        ASSERT_TRUE(window.grab().save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}
