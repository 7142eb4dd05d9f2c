#include "core/shell/CommandLine.h"

#include "core/model/Localization.h"
#include "core/preferences/PreferencesPane.h"

namespace ostrevane {

namespace {

const QByteArray startLine = QByteArrayLiteral("start");
const QByteArray showLine = QByteArrayLiteral("show");
const QByteArray preferencesLine = QByteArrayLiteral("preferences");
const QByteArray quitLine = QByteArrayLiteral("quit");
const QString defaultPane = PreferencesPanes::rawValue(PreferencesPane::general);

QString filled(const char* english, const QString& value)
{
    return Localization::fill(systemLanguageString(english), {value});
}

CommandLine usageError(QString error)
{
    CommandLine line;
    line.action = CommandLine::Action::usageError;
    line.error = std::move(error);
    return line;
}

CommandLine unknownOption(const QString& argument)
{
    return usageError(filled(QT_TRANSLATE_NOOP("Ostrevane", "ostrevane: unknown option \"%@\". Try \"ostrevane "
                                                            "--help\"."),
                             argument));
}

// The request an option names, with the argument after it when the option takes one.
// Nothing (and `index` untouched) when the argument there is no request option.
std::optional<CommandLine> requestOption(const QStringList& arguments, int& index)
{
    const QString& argument = arguments.at(index);
    CommandLine line;
    if (argument == u"--show") {
        line.request.kind = LaunchRequest::Kind::show;
    } else if (argument == u"--quit") {
        line.request.kind = LaunchRequest::Kind::quit;
    } else if (argument == u"--preferences" || argument.startsWith(u"--preferences=")) {
        line.request.kind = LaunchRequest::Kind::preferences;
        line.request.pane = defaultPane;
        if (argument.contains(u'='))
            line.request.pane = argument.section(u'=', 1);
        else if (index + 1 < arguments.size() && !arguments.at(index + 1).startsWith(u'-'))
            line.request.pane = arguments.at(++index);
        if (!CommandLine::paneNames().contains(line.request.pane))
            return usageError(filled(QT_TRANSLATE_NOOP("Ostrevane", "ostrevane: \"%@\" is no preferences pane; "
                                                                    "choose general, shortcuts, appearance, exceptions "
                                                                    "or feedback."),
                                     line.request.pane));
    } else {
        return std::nullopt;
    }
    return line;
}

} // namespace

QByteArray LaunchRequest::encode() const
{
    switch (kind) {
    case Kind::start:
        return startLine;
    case Kind::show:
        return showLine;
    case Kind::preferences:
        return preferencesLine + ' ' + pane.toUtf8();
    case Kind::quit:
        return quitLine;
    }
    return startLine;
}

std::optional<LaunchRequest> LaunchRequest::decode(const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    const QByteArray& verb = words.first();
    if (words.size() == 2 && verb == preferencesLine) {
        const QString pane = QString::fromUtf8(words.at(1));
        if (CommandLine::paneNames().contains(pane))
            return LaunchRequest{Kind::preferences, pane};
        return std::nullopt;
    }
    if (words.size() != 1)
        return std::nullopt;
    if (verb == startLine)
        return LaunchRequest{Kind::start, {}};
    if (verb == showLine)
        return LaunchRequest{Kind::show, {}};
    if (verb == quitLine)
        return LaunchRequest{Kind::quit, {}};
    return std::nullopt;
}

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine result;
    bool requested = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"--help" || argument == u"-h") {
            result.action = Action::help;
            return result;
        }
        if (argument == u"--version") {
            result.action = Action::version;
            return result;
        }
        std::optional<CommandLine> option = requestOption(arguments, i);
        if (!option)
            return unknownOption(argument);
        if (option->action == Action::usageError)
            return *option;
        if (requested)
            return usageError(systemLanguageString(QT_TRANSLATE_NOOP(
                "Ostrevane", "ostrevane: give only one of --show, --preferences and --quit.")));
        requested = true;
        result.request = option->request;
    }
    return result;
}

QString CommandLine::helpText()
{
    return systemLanguageString(QT_TRANSLATE_NOOP(
        "Ostrevane",
        "Usage: ostrevane [--show | --preferences [PANE] | --quit]\n"
        "\n"
        "A keyboard-driven window switcher for X11: hold Alt and press Tab.\n"
        "\n"
        "Without an option Ostrevane starts; when it already runs, its preferences open.\n"
        "\n"
        "  --show                open the switcher as the shortcut does (for window manager\n"
        "                        key bindings and scripts)\n"
        "  --preferences [PANE]  open the preferences on PANE: general, shortcuts, appearance,\n"
        "                        exceptions or feedback\n"
        "  --quit                stop the running Ostrevane\n"
        "  --version             print the version\n"
        "  -h, --help            print this help\n"));
}

const QStringList& CommandLine::paneNames()
{
    static const QStringList names = [] {
        QStringList raw;
        for (const PreferencesPane pane : PreferencesPanes::allCases())
            raw.append(PreferencesPanes::rawValue(pane));
        return raw;
    }();
    return names;
}

} // namespace ostrevane
