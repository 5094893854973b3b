#include "replay_session.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>

namespace voltaro {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// The shortest decimal that reads back as the same float: 6000, 3360.5, -200.
std::string floatText(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
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

bool parseFloat(std::string_view text, float& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool parseKeyCode(std::string_view text, std::int16_t& code) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

ReplaySession::ReplaySession() : form_(host_), wiring_(host_, form_) {
    wiring_.load();
}

int ReplaySession::run(std::istream& script, std::ostream& out, std::ostream& errors) {
    out << stateJson("load") << '\n';
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
        const std::string_view command = trimmed(line);
        if (command.empty() || command.front() == '#') {
            continue;
        }
        std::string problem;
        if (!runLine(line, problem)) {
            out.flush();
            errors << "voltaro-replay: line " << number << ": " << problem << '\n';
            return 2;
        }
        out << stateJson(command) << '\n';
    }
    return 0;
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
        std::int16_t code = 0;
        if (!parseKeyCode(rest, code)) {
            problem = "'key' needs a 16-bit key code, not '" + std::string(rest) + "'";
            return false;
        }
        if (!wiring_.ended()) {
            wiring_.keyDown(code);
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
    problem = "unknown command '" + std::string(command) + "'";
    return false;
}

bool ReplaySession::set(std::string_view target, std::string_view rawValue, std::string& problem) {
    const auto dot = target.find('.');
    const std::string_view name = target.substr(0, dot);
    const std::string_view property = dot == std::string_view::npos ? "" : target.substr(dot + 1);
    Controls& controls = host_.controls();

    if (property == "Caption") {
        std::string caption(rawValue);
        if (!caption.empty() && caption.back() == '\r') {
            caption.pop_back();
        }
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
            problem = "no label named '" + std::string(name) + "'";
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
        problem = "cannot set '" + std::string(target) +
                  "': use NAME.Left, .Top, .Width, .Height or .Caption";
        return false;
    }
    float value = 0;
    if (!parseFloat(trimmed(rawValue), value)) {
        problem =
            "'" + std::string(trimmed(rawValue)) + "' is not a number that fits a 32-bit float";
        return false;
    }
    try {
        Shape& shape = controls.shape(name);
        if (!wiring_.ended()) {
            (shape.*setter)(value);
        }
        return true;
    } catch (const std::out_of_range&) {
        problem = "no shape named '" + std::string(name) + "'";
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
