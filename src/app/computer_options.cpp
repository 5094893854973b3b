#include "app/computer_options.h"

#include <QStringList>
#include <limits>

namespace voltaro {

ComputerOptions addComputerOptions(QCommandLineParser& parser) {
    ComputerOptions options{
        QCommandLineOption(QStringLiteral("computer"),
                           QStringLiteral("The computer plays red, blue or both (a match that "
                                          "plays itself)."),
                           QStringLiteral("side")),
        QCommandLineOption(QStringLiteral("level"),
                           QStringLiteral("How well the computer plays: easy, normal (the "
                                          "default) or hard."),
                           QStringLiteral("level")),
        QCommandLineOption(QStringLiteral("seed"),
                           QStringLiteral("Plays the computer's match from this number, so that "
                                          "it can be played again the same way."),
                           QStringLiteral("n")),
    };
    parser.addOption(options.computer);
    parser.addOption(options.level);
    parser.addOption(options.seed);
    return options;
}

std::optional<computer::Seating> readComputerOptions(const QCommandLineParser& parser,
                                                     const ComputerOptions& options,
                                                     QString& error) {
    computer::Seating seating;
    if (parser.isSet(options.computer)) {
        const QString sides = parser.value(options.computer);
        const auto seated = computer::seatingNamed(sides.toStdString());
        if (!seated) {
            error = QStringLiteral("'%1' is no side for --computer: red, blue or both").arg(sides);
            return std::nullopt;
        }
        seating = *seated;
    }
    if (parser.isSet(options.level)) {
        const QString name = parser.value(options.level);
        const auto level = computer::levelNamed(name.toStdString());
        if (!level) {
            error = QStringLiteral("'%1' is no level for --level: easy, normal or hard").arg(name);
            return std::nullopt;
        }
        seating.level = *level;
    }
    seating.seed = computer::freshSeed();
    if (parser.isSet(options.seed)) {
        const QString text = parser.value(options.seed);
        bool ok = false;
        const qulonglong seed = text.toULongLong(&ok);
        if (!ok || text.startsWith(QLatin1Char('+'))) {
            error = QStringLiteral("'%1' is no seed for --seed: a whole number from 0 to %2")
                        .arg(text)
                        .arg(std::numeric_limits<qulonglong>::max());
            return std::nullopt;
        }
        seating.seed = seed;
    }
    return seating;
}

}  // namespace voltaro
