#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "app/computer_options.h"

namespace voltaro {

namespace {

// Qt's options for every GUI application (QGuiApplication and QApplication read them): known
// here so that they are not taken for unknown ones, but left out of the help.
void acceptQtOptions(QCommandLineParser& parser) {
    const char* const withValue[] = {"platform",        "platformpluginpath",
                                     "platformtheme",   "plugin",
                                     "qwindowgeometry", "geometry",
                                     "qwindowicon",     "icon",
                                     "qwindowtitle",    "title",
                                     "display",         "session",
                                     "style",           "stylesheet",
                                     "qmljsdebugger"};
    const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    for (const char* name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

}  // namespace

std::optional<int> readCommandLine(int argc, char* argv[], computer::Seating* seating,
                                   OnlineOptions* online, QString* replay) {
    // A core application only, which needs no display, for the parser's help text.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Soccer Game: VOLTARO! Two players, one keyboard: red moves with the arrow keys,\n"
        "blue with W, A, S and D. The first goal wins. One player alone plays the computer\n"
        "(--computer blue)."));
    // Qt's options are written with one dash (-platform wayland).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    acceptQtOptions(parser);
    const ComputerOptions computerOptions = addComputerOptions(parser);
    addOnlineOptions(parser);
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Watch the replay of a match: its link (http://host/?replay=ID), or a\n"
                       "record file a match server kept."),
        QStringLiteral("link|file"));
    parser.addOption(replayOption);

    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "voltaro: %s\nTry 'voltaro --help' for more information.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr,
                     "voltaro: unexpected argument '%s'\nTry 'voltaro --help' for more "
                     "information.\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    QString wrong;
    const auto seated = readComputerOptions(parser, computerOptions, wrong);
    if (!seated) {
        std::fprintf(stderr, "voltaro: %s\nTry 'voltaro --help' for more information.\n",
                     qPrintable(wrong));
        return 2;
    }
    OnlineOptions onlineOptions;
    if (const auto status = readOnlineOptions(parser, onlineOptions)) {
        return status;
    }
    // The computer plays at this keyboard; online, the other player is a person elsewhere.
    if (seated->any() && onlineOptions.wanted()) {
        std::fprintf(stderr,
                     "voltaro: --computer is for a match at this keyboard, not online\n"
                     "Try 'voltaro --help' for more information.\n");
        return 2;
    }
    // A replay only shows a match that was played: nobody plays in it.
    if (parser.isSet(replayOption) && (seated->any() || onlineOptions.wanted())) {
        std::fprintf(
            stderr,
            "voltaro: --replay shows a match's record: not with --computer or online play\n"
            "Try 'voltaro --help' for more information.\n");
        return 2;
    }
    if (replay) {
        *replay = parser.value(replayOption);
    }
    if (seating) {
        *seating = *seated;
    }
    if (online) {
        *online = onlineOptions;
    }
    return std::nullopt;
}

}  // namespace voltaro
