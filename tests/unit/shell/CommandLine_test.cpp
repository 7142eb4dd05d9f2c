#include "core/shell/CommandLine.h"

#include "support/QtPrinting.h"

#include <gtest/gtest.h>

using namespace ostrevane;

namespace {

using Kind = LaunchRequest::Kind;
using Action = CommandLine::Action;

} // namespace

TEST(CommandLine, EachOptionAsksForOneThing)
{
    const struct {
        QStringList arguments;
        Action action;
        LaunchRequest request;
    } rows[] = {
        {{}, Action::run, {Kind::start, {}}},
        {{"--show"}, Action::run, {Kind::show, {}}},
        {{"--preferences"}, Action::run, {Kind::preferences, "general"}},
        {{"--preferences=exceptions"}, Action::run, {Kind::preferences, "exceptions"}},
        {{"-h", "--bogus"}, Action::help, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandLine line = CommandLine::parse(row.arguments);
        EXPECT_EQ(line.action, row.action);
        if (row.action == Action::run) {
            EXPECT_EQ(line.request, row.request);
        }
    }
}

TEST(CommandLine, UnknownOptionsUnknownPanesAndTwoRequestsAreUsageErrorsThatNameTheProblem)
{
    const struct {
        QStringList arguments;
        const char* named;
    } rows[] = {
        {{"--preferences", "colours"}, "colours"},
        {{"--show", "--quit"}, "--show, --preferences"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.join(' ').toStdString());
        const CommandLine line = CommandLine::parse(row.arguments);
        EXPECT_EQ(line.action, Action::usageError);
        EXPECT_TRUE(line.error.startsWith(QStringLiteral("ostrevane: "))) << line.error.toStdString();
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(row.named))) << line.error.toStdString();
        EXPECT_FALSE(line.error.contains(u'\n'));
    }
}

// Requests reaching the running copy are driven end to end.
TEST(CommandLine, RequestsTravelAsOneLineAndStrayLinesAreNoRequest)
{
    EXPECT_EQ(LaunchRequest::decode("preferences shortcuts\n"), (LaunchRequest{Kind::preferences, "shortcuts"}));
    for (const QByteArray& line : {QByteArray("preferences"), QByteArray("preferences ../../etc"), QByteArray("show now")})
        EXPECT_EQ(LaunchRequest::decode(line), std::nullopt) << line.constData();
}
