#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voltaro {
class Controls;
class EventWiring;
}  // namespace voltaro

namespace voltaro::replay {

// One command of a replay script, the form a match's record is kept in: a timer's tick, a key
// press, or a property written before the next event.
struct Command {
    enum class Verb { Ball, Goal, Key, SetShape, SetCaption };
    enum class Property { Left, Top, Width, Height };

    Verb verb = Verb::Ball;
    std::int16_t key = 0;  // Key
    std::string control;   // SetShape, SetCaption: the control's name
    Property property{};   // SetShape
    float value = 0;       // SetShape
    std::string caption;   // SetCaption
};

// What one line of a script says.
struct ScriptLine {
    enum class Kind {
        Nothing,  // blank, or a "#" line for the reader
        Command,
        Bad,  // `problem` says why
    };
    Kind kind = Kind::Nothing;
    Command command;
    std::string problem;
};

// Reads one line (its line end taken off). A line that is not UTF-8 is bad, a comment too.
ScriptLine readScriptLine(std::string_view line);

// The tick of a record's "# tick N" line; nothing for any other line.
std::optional<std::uint32_t> recordTick(std::string_view line);

// Runs `command` on the form's controls and through its event wiring. Once the program has
// ended nothing runs, and nothing is written. False, with `problem` set, when the command names
// a control the form does not have.
bool runCommand(const Command& command, Controls& controls, EventWiring& wiring,
                std::string& problem);

// `text` without the blanks and tabs around it.
std::string_view trimmed(std::string_view text);

}  // namespace voltaro::replay
