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

ImageHandle appIcon(QColor top, QColor bottom, const QString& letter)
{
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 128);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setBrush(fill);
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

ImageHandle windowPicture(QColor body)
{
    QImage image(320, 220, QImage::Format_ARGB32_Premultiplied);
    image.fill(body);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, 320, 26), body.darker(130));
    p.setBrush(QColor(255, 95, 87));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(10, 8, 10, 10));
    p.setBrush(body.darker(160));
    for (int i = 0; i < 8; ++i)
        p.drawRoundedRect(QRect(20, 44 + i * 20, 120 + (i * 37) % 160, 8), 4, 4);
    return std::make_shared<const QImage>(image);
}

struct Scene {
    std::vector<SwitchItem> items;
    TabGroupItem chrome;
};

Scene makeScene(TestRuntime& runtime)
{
    const ImageHandle terminal = appIcon(QColor(70, 70, 78), QColor(28, 28, 32), ">");
    const ImageHandle editor = appIcon(QColor(64, 156, 255), QColor(20, 90, 220), "E");
    const ImageHandle chromeIcon = appIcon(QColor(255, 196, 60), QColor(230, 80, 60), "C");
    const ImageHandle files = appIcon(QColor(110, 200, 255), QColor(40, 140, 230), "F");
    auto window = [](const QString& app, const QString& title, ImageHandle icon, quint32 id) {
        WindowItem w = panelkit::window(app, title);
        w.appIcon = std::move(icon);
        w.cgWindowID = id;
        return w;
    };
    std::vector<TabItem> tabs;
    const QStringList titles{"Inbox (3) — Mail", "Release notes 0.1", "Ostrevane — pull request #42", "Weather in Lyon",
                             "在线文档 · 设计评审"};
    for (int i = 0; i < titles.size(); ++i) {
        tabs.push_back(fixtures::tab("com.google.Chrome", titles[i], QString("https://site%1.example/page").arg(i), 1,
                                     i + 1, i == 2));
        tabs.back().appIcon = chromeIcon;
    }
    TabGroupItem chrome = fixtures::tabGroup("com.google.Chrome", "Google Chrome", tabs);
    chrome.appIcon = chromeIcon;
    WindowGroupItem filesGroup = fixtures::windowGroup(
        "org.gnome.Nautilus", "Files", {window("Files", "Documents", files, 7), window("Files", "Downloads", files, 8)});
    filesGroup.appIcon = files;
    runtime.actions.runningUserApps.insert("com.example.mail");
    runtime.actions.capabilities.insert("com.example.mail", CloseCapability::quit());
    AppItem mail = fixtures::app("com.example.mail", "Mail", "/x");
    mail.icon = appIcon(QColor(90, 210, 140), QColor(30, 150, 90), "M");
    std::vector<SwitchItem> items{SwitchItem(window("Terminal", "~/src/ostrevane — make", terminal, 1)),
                                  SwitchItem(window("Editor", "SearchView.cpp — Ostrevane", editor, 2)),
                                  SwitchItem(chrome),
                                  SwitchItem(filesGroup),
                                  SwitchItem(window("Editor", "notes.md", editor, 3)),
                                  SwitchItem(mail)};
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

    using Prepare = std::function<void(PanelFixture&, Scene&)>;

    // Shows the scene with its second row highlighted, lets `prepare` change it and saves it
    // as `name`. `before` runs before anything is built (a language, a guide stage).
    void shoot(const QString& name, PanelEdge edge, PanelFontSize font, const Prepare& prepare = {},
               const std::function<void(PanelFixture&)>& before = {}, int height = 0)
    {
        PanelFixture f;
        if (before)
            before(f);
        Scene scene = makeScene(f.runtime);
        f.thumbnails = [](quint32 id) { return windowPicture(id % 2 ? QColor(236, 236, 240) : QColor(40, 44, 52)); };
        PanelSettings::setFontSize(font);
        const double s = PanelStyle::fontScale(font);
        const int h = height ? height : static_cast<int>(std::min(620 * s, 24 * s + 58 * s + 48 * s * 7 + 10));
        f.show(scene.items, edge, QSize(354, h));
        f.viewModel->setSelectedIndex(1);
        if (prepare)
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
        QPainter p(&out);
        QLinearGradient desk(0, 0, out.width(), out.height());
        desk.setColorAt(0, QColor(64, 86, 120));
        desk.setColorAt(1, QColor(120, 92, 128));
        p.fillRect(out.rect(), desk);
        const int x = f.view->edge() == PanelEdge::right ? out.width() - panel.width() : 0;
        p.drawPixmap(x, 20, panel);
        p.end();
        ASSERT_TRUE(out.save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

    QString m_dir;
};

} // namespace

TEST_F(Screenshots, MainListAtEachEdgeAndFontSize)
{
    const Prepare closingRow = [](PanelFixture& f, Scene&) { f.viewModel->markClosing(f.view->rows()[4].item); };
    shoot(QStringLiteral("panel-right-normal"), PanelEdge::right, PanelFontSize::normal, closingRow);
    shoot(QStringLiteral("panel-left-normal"), PanelEdge::left, PanelFontSize::normal, closingRow);
    shoot(QStringLiteral("panel-right-small"), PanelEdge::right, PanelFontSize::small, closingRow);
    shoot(QStringLiteral("panel-right-large"), PanelEdge::right, PanelFontSize::large, closingRow);
}

TEST_F(Screenshots, SearchTabListEmptyStateGuideAndChinese)
{
    shoot(QStringLiteral("panel-search"), PanelEdge::right, PanelFontSize::normal, [](PanelFixture& f, Scene&) {
        f.viewModel->setSearchActive(true);
        f.viewModel->setQuery(QStringLiteral("edit"));
    });
    shoot(QStringLiteral("panel-tabs"), PanelEdge::right, PanelFontSize::normal,
          [](PanelFixture& f, Scene& scene) { f.viewModel->openTabGroup(SwitchItem(scene.chrome), false); });
    shoot(QStringLiteral("panel-guide"), PanelEdge::right, PanelFontSize::normal, {},
          [](PanelFixture&) { OnboardingManager::shared().setStage(OnboardingStage::movement); }, 560);
    shoot(QStringLiteral("panel-zh"), PanelEdge::right, PanelFontSize::normal, {}, [](PanelFixture& f) {
        Localization::shared().setLanguage(AppLanguage::simplifiedChinese);
        f.runningBrowsers = {QStringLiteral("Google Chrome")};
    });

    PanelFixture f;
    f.runtime.accessibility.setTrusted(false);
    f.show({}, PanelEdge::left, QSize(354, 332));
    save(f, QStringLiteral("panel-empty"));
}

TEST_F(Screenshots, GuideWindowPages)
{
    for (const bool trusted : {false, true}) {
        TestRuntime runtime;
        runtime.accessibility.setTrusted(trusted);
        OnboardingSummonView::Environment env;
        env.onboarding = &OnboardingManager::shared();
        env.dispatcher = &runtime.dispatcher();
        env.accessibilityTrusted = [&runtime] { return runtime.accessibility.isProcessTrusted(); };
        OnboardingWindow window(env, nullptr, {});
        window.show();
        QCoreApplication::processEvents();
        const QString name = trusted ? QStringLiteral("guide-summon") : QStringLiteral("guide-permissions");
        ASSERT_TRUE(window.grab().save(m_dir + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}
