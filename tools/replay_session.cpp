#include "replay_session.h"

#include <fmt/format.h>

#include <cstdint>
#include <istream>
#include <ostream>

#include "client/replay_input.h"
#include "client/script_line.h"

namespace voltaro {

namespace {

// The shortest decimal that reads back as the same float: 6000, 3360.5, -200.
std::string floatText(float value) {
    return fmt::format("{}", value);
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string variantText(Variant v) {
    return v.isEmpty() ? "null" : floatText(*v.value());
}
std::string integerText(Integer v) {
    return std::to_string(v.value());
}

std::string position(const Shape& shape) {
    return "[" + floatText(shape.Left()) + "," + floatText(shape.Top()) + "]";
}

}  // namespace

ReplaySession::ReplaySession() : form_(host_), wiring_(host_, form_) {
    wiring_.load();
}

int ReplaySession::run(std::istream& script, std::ostream& out, std::ostream& errors) {
    const auto written = [&] {
        if (out.flush()) {
            return true;
        }
        errors << "voltaro-replay: cannot write the output\n";
        return false;
    };
    out << stateJson("load") << '\n';
    std::string line;
    for (std::uint64_t number = 1; out && std::getline(script, line); ++number) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();  // a CR LF line end
        }
        const std::string_view command = replay::trimmed(line);
        std::string problem;
        if (!replay::isUtf8(line)) {
            problem = "not UTF-8";
        } else if (command.empty() || command.front() == '#') {
            continue;
        } else if (runLine(line, problem)) {
            out << stateJson(command) << '\n';
            continue;
        }
        if (!written()) {
            return 1;
        }
        errors << "voltaro-replay: line " << number << ": " << problem << ": " << replay::echo(line)
               << '\n';
        return 2;
    }
    if (script.bad()) {
        errors << "voltaro-replay: cannot read the input\n";
        return 1;
    }
    return written() ? 0 : 1;
}

bool ReplaySession::runLine(std::string_view line, std::string& problem) {
    const replay::ScriptLine read = replay::readScriptLine(line);
    switch (read.kind) {
        case replay::ScriptLine::Kind::Nothing:
            return true;
        case replay::ScriptLine::Kind::Bad:
            problem = read.problem;
            return false;
        case replay::ScriptLine::Kind::Command:
            break;
    }
    return replay::runCommand(read.command, host_.controls(), wiring_, problem);
}

std::string ReplaySession::stateJson(std::string_view event) {
    const Controls& c = host_.controls();
    const MatchState& s = form_.state();
    std::string messages = "[";
    for (const std::string& text : host_.takeMessages()) {
        messages += (messages.size() > 1 ? "," : "") + quoted(text);
    }
    messages += "]";
    const std::optional<std::string> error = host_.takeError();

    std::string json;
    json.reserve(640);
    json += "{\"event\":" + quoted(event);
    json += ",\"ball\":" + position(c.shape("shpBall"));
    json += ",\"red\":" + position(c.shape("shpRed"));
    json += ",\"blue\":" + position(c.shape("shpBlue"));
    json += ",\"dirX\":" + quoted(s.strDirX) + ",\"dirY\":" + quoted(s.strDirY);
    json += ",\"redScore\":" + quoted(c.label("lblRed").Caption());
    json += ",\"blueScore\":" + quoted(c.label("lblBlue").Caption());
    json += ",\"snapshot\":{\"redLeft\":" + variantText(s.redLeft);
    json += ",\"redRight\":" + variantText(s.redRight);
    json += ",\"redBottom\":" + variantText(s.redBottom);
    json += ",\"redTop\":" + integerText(s.redTop);
    json += ",\"blueLeft\":" + variantText(s.blueLeft);
    json += ",\"blueRight\":" + variantText(s.blueRight);
    json += ",\"blueBottom\":" + variantText(s.blueBottom);
    json += ",\"blueTop\":" + integerText(s.blueTop);
    json += ",\"ballTop\":" + variantText(s.ballTop);
    json += ",\"ballBottom\":" + variantText(s.ballBottom);
    json += ",\"ballRight\":" + integerText(s.ballRight) + "}";
    json += ",\"messages\":" + messages;
    json += std::string(",\"ended\":") + (wiring_.ended() ? "true" : "false");
    json += ",\"error\":" + (error ? quoted(*error) : std::string("null")) + "}";
    return json;
}

}  // namespace voltaro
