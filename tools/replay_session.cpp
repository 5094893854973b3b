#include "replay_session.h"

#include <fmt/format.h>

#include <cstdint>
#include <istream>
#include <ostream>

#include "replay_input.h"

namespace voltaro {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

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
        const std::string_view command = trimmed(line);
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
    const std::string_view command = trimmed(line);
    const auto blank = command.find_first_of(" \t");
    const std::string_view verb = command.substr(0, blank);
    const std::string_view rest =
        blank == std::string_view::npos ? std::string_view{} : trimmed(command.substr(blank));

    if (verb == "ball" || verb == "goal") {
        if (!rest.empty()) {
            problem = "'" + std::string(verb) + "' takes nothing after it";
            return false;
        }
        if (!wiring_.ended()) {
            wiring_.timerTick(host_.controls().timer(verb == "ball" ? "tmrBall" : "tmrGoal"));
        }
        return true;
    }
    if (verb == "key") {
        const std::optional<std::int16_t> code = replay::keyCode(rest);
        if (!code) {
            problem = "'key' needs a whole number within -32768..32767";
            return false;
        }
        if (!wiring_.ended()) {
            wiring_.keyDown(*code);
        }
        return true;
    }
    if (verb == "set") {
        // A caption is the rest of the raw line after one blank, so keep what trimming would lose.
        const std::string_view raw = line.substr(line.find("set") + 3);
        const std::string_view afterVerb =
            raw.substr(std::min(raw.find_first_not_of(" \t"), raw.size()));
        const auto targetEnd = afterVerb.find_first_of(" \t");
        const std::string_view target = afterVerb.substr(0, targetEnd);
        const std::string_view value = targetEnd == std::string_view::npos
                                           ? std::string_view{}
                                           : afterVerb.substr(targetEnd + 1);
        return set(target, value, problem);
    }
    problem = "unknown command";
    return false;
}

bool ReplaySession::set(std::string_view target, std::string_view rawValue, std::string& problem) {
    const auto dot = target.find('.');
    const std::string_view name = target.substr(0, dot);
    const std::string_view property = dot == std::string_view::npos ? "" : target.substr(dot + 1);
    Controls& controls = host_.controls();

    if (property == "Caption") {
        std::string caption(rawValue);
        if (caption.find_first_not_of(" \t") == std::string::npos) {
            caption.clear();
        }
        try {
            Label& label = controls.label(name);
            if (!wiring_.ended()) {
                label.setCaption(std::move(caption));
            }
            return true;
        } catch (const std::out_of_range&) {
            problem = "no label of that name";
            return false;
        }
    }

    using Setter = void (Shape::*)(float);
    Setter setter = nullptr;
    if (property == "Left")
        setter = &Shape::setLeft;
    if (property == "Top")
        setter = &Shape::setTop;
    if (property == "Width")
        setter = &Shape::setWidth;
    if (property == "Height")
        setter = &Shape::setHeight;
    if (!setter) {
        problem = "'set' takes NAME.Left, .Top, .Width, .Height or .Caption";
        return false;
    }
    const std::optional<float> value = replay::propertyValue(trimmed(rawValue));
    if (!value) {
        problem = "not a number that fits a 32-bit float";
        return false;
    }
    try {
        Shape& shape = controls.shape(name);
        if (!wiring_.ended()) {
            (shape.*setter)(*value);
        }
        return true;
    } catch (const std::out_of_range&) {
        problem = "no shape of that name";
        return false;
    }
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
