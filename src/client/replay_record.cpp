#include "client/replay_record.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include "client/replay_input.h"

namespace voltaro::client {

namespace {

std::string lineProblem(std::uint64_t number, std::string_view problem, std::string_view line) {
    return fmt::format(FMT_COMPILE("This is not a match record: line {}: {}: {}"), number, problem,
                       replay::echo(line));
}

}  // namespace

std::optional<ReplayRecord> ReplayRecord::read(std::string_view text, std::string& problem) {
    if (text.size() > kMaxBytes) {
        problem = fmt::format(FMT_COMPILE("This file is too large for a match record ({} MB at "
                                          "most)."),
                              kMaxBytes >> 20);
        return std::nullopt;
    }
    ReplayRecord record;
    std::optional<std::uint32_t> tick;
    std::uint64_t number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);  // a CR LF line end
        }
        const replay::ScriptLine read = replay::readScriptLine(line);
        if (read.kind == replay::ScriptLine::Kind::Bad) {
            problem = lineProblem(number, read.problem, line);
            return std::nullopt;
        }
        if (line.starts_with("# tick")) {
            const auto next = replay::recordTick(line);
            if (!next) {
                problem = lineProblem(number, "not a tick's number", line);
                return std::nullopt;
            }
            if (tick && *next < *tick) {
                problem = lineProblem(
                    number, fmt::format(FMT_COMPILE("earlier than tick {}"), *tick), line);
                return std::nullopt;
            }
            tick = next;
            record.lastTick_ = *next;
            continue;
        }
        if (read.kind != replay::ScriptLine::Kind::Command) {
            continue;
        }
        if (!tick) {
            problem = lineProblem(number, "an event before the first \"# tick\" line", line);
            return std::nullopt;
        }
        record.add(*tick, read.command, number);
    }
    if (!tick) {
        problem = "This is not a match record: it has no \"# tick\" line.";
        return std::nullopt;
    }
    return record;
}

void ReplayRecord::add(std::uint32_t tick, const replay::Command& command, std::uint64_t line) {
    using Verb = replay::Command::Verb;
    Event event{tick, command.verb, command.key, 0};
    if (command.verb == Verb::SetShape || command.verb == Verb::SetCaption) {
        event.set = static_cast<std::uint32_t>(sets_.size());
        sets_.push_back({command, line});
    }
    events_.push_back(event);
}

replay::Command ReplayRecord::command(const Event& event) const {
    using Verb = replay::Command::Verb;
    if (event.verb == Verb::SetShape || event.verb == Verb::SetCaption) {
        return sets_[event.set].command;
    }
    replay::Command command;
    command.verb = event.verb;
    command.key = event.key;
    return command;
}

}  // namespace voltaro::client
