#include "support/TestRuntime.h"
#include "ui/UpdateDialogs.h"

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

using Choice = UpdateUserDriver::Choice;

QStringList buttonTitles(QWidget* window)
{
    QStringList titles;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        titles << button->text();
    titles.sort();
    return titles;
}

QPushButton* button(QWidget* window, const QString& title)
{
    for (QPushButton* candidate : window->findChildren<QPushButton*>())
        if (candidate->text() == title)
            return candidate;
    return nullptr;
}

UpdateUserDriver::Offer offer(bool installable)
{
    return {"2.0", "1.1", "<p>Quicker <b>search</b></p>", {}, installable,
            installable ? QString() : QStringLiteral("Update it with the package manager.")};
}

} // namespace

TEST(UpdateDialogs, AnOfferShowsTheNotesAndAnswersWithTheChosenButtonOnce)
{
    TestRuntime runtime;
    UpdateDialogs dialogs;
    for (const auto& [title, choice] : {std::pair{"Install Update", Choice::install},
                                        {"Skip This Version", Choice::skipThisVersion},
                                        {"Remind Me Later", Choice::remindLater}}) {
        std::vector<Choice> choices;
        dialogs.showUpdateFound(offer(true), [&](Choice answered) { choices.push_back(answered); });
        QDialog* window = dialogs.openOffer();
        ASSERT_TRUE(window) << title;
        EXPECT_EQ(window->findChild<QTextBrowser*>()->toPlainText(), "Quicker search");
        EXPECT_EQ(window->focusWidget(), button(window, "Install Update")); // Return installs
        button(window, title)->click();
        EXPECT_EQ(choices, std::vector<Choice>{choice}) << title;
    }
}

TEST(UpdateDialogs, ACopyThatCannotReplaceItselfIsNeverOfferedInstall)
{
    TestRuntime runtime;
    UpdateDialogs dialogs;
    std::optional<Choice> choice;
    dialogs.showUpdateFound(offer(false), [&](Choice answered) { choice = answered; });
    QDialog* window = dialogs.openOffer();
    ASSERT_TRUE(window);
    EXPECT_EQ(buttonTitles(window), (QStringList{"OK", "Skip This Version"}));
    EXPECT_TRUE(window->findChildren<QLabel*>().at(1)->text().endsWith("Update it with the package manager."));
    button(window, "OK")->click();
    EXPECT_EQ(choice, Choice::remindLater);
}

TEST(UpdateDialogs, ClosingTheProgressIsNoCancelButItsButtonIs)
{
    TestRuntime runtime;
    UpdateDialogs dialogs;
    int cancels = 0;
    dialogs.showDownloadProgress(0, 4 * 1024 * 1024, [&] { ++cancels; });
    dialogs.showDownloadProgress(2 * 1024 * 1024, 4 * 1024 * 1024, [&] { ++cancels; });
    ASSERT_TRUE(dialogs.openProgress());
    EXPECT_EQ(dialogs.openProgress()->value(), 2048);
    dialogs.hideDownloadProgress();
    EXPECT_EQ(cancels, 0);

    dialogs.showDownloadProgress(0, -1, [&] { ++cancels; });
    ASSERT_TRUE(dialogs.openProgress());
    button(dialogs.openProgress(), "Cancel")->click();
    EXPECT_EQ(cancels, 1);
}
