#include "client/script_line.h"

#include "client/replay_input.h"
#include "scene/controls.h"
#include "scene/event_wiring.h"

namespace voltaro::replay {

namespace {

ScriptLine bad(std::string problem) {
    ScriptLine line;
    line.kind = ScriptLine::Kind::Bad;
    line.problem = std::move(problem);
    return line;
}

ScriptLine command(Command c) {
    ScriptLine line;
    line.kind = ScriptLine::Kind::Command;
    line.command = std::move(c);
    return line;
}

std::optional<Command::Property> propertyNamed(std::string_view name) {
    using P = Command::Property;
    if (name == "Left") {
        return P::Left;
    }
    if (name == "Top") {
        return P::Top;
    }
    if (name == "Width") {
        return P::Width;
    }
    if (name == "Height") {
        return P::Height;
    }
    return std::nullopt;
}

// "set NAME.PROP VALUE". A caption is the rest of the raw line after one blank, so this keeps
// what trimming would lose.
ScriptLine readSet(std::string_view line) {
    const std::string_view raw = line.substr(line.find("set") + 3);
    const std::string_view afterVerb =
        raw.substr(std::min(raw.find_first_not_of(" \t"), raw.size()));
    const auto targetEnd = afterVerb.find_first_of(" \t");
    const std::string_view target = afterVerb.substr(0, targetEnd);
    const std::string_view value =
        targetEnd == std::string_view::npos ? std::string_view{} : afterVerb.substr(targetEnd + 1);

    const auto dot = target.find('.');
    Command c;
    c.control = std::string(target.substr(0, dot));
    const std::string_view property = dot == std::string_view::npos ? "" : target.substr(dot + 1);
    if (property == "Caption") {
        c.verb = Command::Verb::SetCaption;
        if (value.find_first_not_of(" \t") != std::string_view::npos) {
            c.caption = std::string(value);
        }
        return command(std::move(c));
    }
    const auto named = propertyNamed(property);
    if (!named) {
        return bad("'set' takes NAME.Left, .Top, .Width, .Height or .Caption");
    }
    const std::optional<float> number = propertyValue(trimmed(value));
    if (!number) {
        return bad("not a number that fits a 32-bit float");
    }
    c.verb = Command::Verb::SetShape;
    c.property = *named;
    c.value = *number;
    return command(std::move(c));
}

void write(Shape& shape, Command::Property property, float value) {
    switch (property) {
        case Command::Property::Left:
            shape.setLeft(value);
            return;
        case Command::Property::Top:
            shape.setTop(value);
            return;
        case Command::Property::Width:
            shape.setWidth(value);
            return;
        case Command::Property::Height:
            shape.setHeight(value);
            return;
    }
}

}  // namespace

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

ScriptLine readScriptLine(std::string_view line) {
    if (!isUtf8(line)) {
        return bad("not UTF-8");
    }
    const std::string_view text = trimmed(line);
    if (text.empty() || text.front() == '#') {
        return {};
    }
    const auto blank = text.find_first_of(" \t");
    const std::string_view verb = text.substr(0, blank);
    const std::string_view rest =
        blank == std::string_view::npos ? std::string_view{} : trimmed(text.substr(blank));

    if (verb == "ball" || verb == "goal") {
        if (!rest.empty()) {
            return bad("'" + std::string(verb) + "' takes nothing after it");
        }
        Command c;
        c.verb = verb == "ball" ? Command::Verb::Ball : Command::Verb::Goal;
        return command(std::move(c));
    }
    if (verb == "key") {
        const std::optional<std::int16_t> code = keyCode(rest);
        if (!code) {
            return bad("'key' needs a whole number within -32768..32767");
        }
        Command c;
        c.verb = Command::Verb::Key;
        c.key = *code;
        return command(std::move(c));
    }
    if (verb == "set") {
        return readSet(line);
    }
    return bad("unknown command");
}

std::optional<std::uint32_t> recordTick(std::string_view line) {
    constexpr std::string_view kTick = "# tick ";
    if (!line.starts_with(kTick)) {
        return std::nullopt;
    }
    const std::string_view digits = line.substr(kTick.size());
    if (digits.empty() || digits.size() > 10 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint64_t tick = 0;
    for (const char c : digits) {
        tick = tick * 10 + static_cast<unsigned>(c - '0');
    }
    if (tick > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(tick);
}

bool runCommand(const Command& command, Controls& controls, EventWiring& wiring,
                std::string& problem) {
    using Verb = Command::Verb;
    switch (command.verb) {
        case Verb::Ball:
        case Verb::Goal:
            if (!wiring.ended()) {
                wiring.timerTick(
                    controls.timer(command.verb == Verb::Ball ? "tmrBall" : "tmrGoal"));
            }
            return true;
        case Verb::Key:
            if (!wiring.ended()) {
                wiring.keyDown(command.key);
            }
            return true;
        case Verb::SetCaption: {
            Label* label = controls.findLabel(command.control);
            if (!label) {
                problem = "no label of that name";
                return false;
            }
            if (!wiring.ended()) {
                label->setCaption(command.caption);
            }
            return true;
        }
        case Verb::SetShape: {
            Shape* shape = controls.findShape(command.control);
            if (!shape) {
                problem = "no shape of that name";
                return false;
            }
            if (!wiring.ended()) {
                write(*shape, command.property, command.value);
            }
            return true;
        }
    }
    return true;
}

}  // namespace voltaro::replay
