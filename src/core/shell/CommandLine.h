#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace ostrevane {

// What one start of the program asks for. A copy that finds another one running hands
// its request over and ends; the running copy carries it out.
struct LaunchRequest {
    enum class Kind {
        start,       // a plain start: run; handed over, it opens the preferences
        show,        // open the switcher as the activation hotkey does
        preferences, // open the preferences on `pane`
        quit,        // end the running copy
    };
    Kind kind = Kind::start;
    QString pane; // for `preferences`: a pane's raw value ("general" unless one was named)

    friend bool operator==(const LaunchRequest&, const LaunchRequest&) = default;

    // One line of the single-instance socket, without its newline: "start", "show",
    // "preferences <pane>", "quit".
    QByteArray encode() const;
    // Nothing for a line that is no request (or names no pane), so a stray or hostile
    // line never acts.
    static std::optional<LaunchRequest> decode(const QByteArray& line);
};

// The program's arguments: at most one of --show, --preferences [PANE], --quit; or
// --help / -h, --version. Anything else is a usage error, and no argument is passed on
// to Qt. The texts speak the system's language (the program has no settings yet).
struct CommandLine {
    enum class Action { run, help, version, usageError };

    Action action = Action::run;
    LaunchRequest request;
    QString error; // for a usage error: one line that names the problem

    // `arguments` without the program's name.
    static CommandLine parse(const QStringList& arguments);
    // The answer to --help.
    static QString helpText();
    // The panes --preferences accepts, in the preferences window's order.
    static const QStringList& paneNames();
};

} // namespace ostrevane
