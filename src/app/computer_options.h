#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <optional>

#include "computer/computer_seats.h"

namespace voltaro {

// The options that seat the computer: --computer red|blue|both, --level easy|normal|hard and
// --seed N.
struct ComputerOptions {
    QCommandLineOption computer;
    QCommandLineOption level;
    QCommandLineOption seed;
};

ComputerOptions addComputerOptions(QCommandLineParser& parser);

// Who the options seat; with a wrong value, nothing, and `error` says what is wrong.
std::optional<computer::Seating> readComputerOptions(const QCommandLineParser& parser,
                                                     const ComputerOptions& options,
                                                     QString& error);

}  // namespace voltaro
