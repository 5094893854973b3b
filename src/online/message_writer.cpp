#include <fmt/compile.h>
#include <fmt/format.h>

#include <iterator>
#include <type_traits>

#include "online/input_kind_name.h"
#include "online/protocol.h"

namespace voltaro::online {

namespace {

using Out = std::back_insert_iterator<std::string>;

// A JSON string. The texts are the server's own and the codes and tokens it checked, but a
// quote or a control character must still never end up outside the string.
void appendString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            fmt::format_to(Out(out), FMT_COMPILE("\\u{:04x}"), static_cast<unsigned>(c));
        } else {
            out += c;
        }
    }
    out += '"';
}

// Floats as the shortest decimal that reads back as the same float: whole twips stay whole.
void appendPoint(std::string& out, std::string_view name, const Point& point) {
    fmt::format_to(Out(out), FMT_COMPILE(",\"{}\":[{},{}]"), name, point.left, point.top);
}

void appendCaption(std::string& out, std::string_view name, const std::string& caption) {
    fmt::format_to(Out(out), FMT_COMPILE(",\"{}\":"), name);
    appendString(out, caption);
}

// The scene's members, in the object that `out` has open. Captions are left out while they show
// the layout's "0".
void appendScene(std::string& out, const Scene& scene) {
    appendPoint(out, "ball", scene.ball);
    appendPoint(out, "red", scene.red);
    appendPoint(out, "blue", scene.blue);
    const Scene layout;
    if (scene.redScore != layout.redScore) {
        appendCaption(out, "redScore", scene.redScore);
    }
    if (scene.blueScore != layout.blueScore) {
        appendCaption(out, "blueScore", scene.blueScore);
    }
}

void appendSceneObject(std::string& out, const Scene& scene) {
    out += ",\"scene\":{";
    const std::size_t open = out.size();
    appendScene(out, scene);
    out.erase(open, 1);  // the comma before the first member
    out += '}';
}

void open(std::string& out, std::string_view type) {
    out += "{\"type\":";
    appendString(out, type);
}

void appendText(std::string& out, std::string_view name, std::string_view text) {
    fmt::format_to(Out(out), FMT_COMPILE(",\"{}\":"), name);
    appendString(out, text);
}

template <typename Number>
void appendNumber(std::string& out, std::string_view name, Number value) {
    fmt::format_to(Out(out), FMT_COMPILE(",\"{}\":{}"), name, value);
}

// A player's stamped input: the tick its match was at, and the sender's count.
void appendStamp(std::string& out, std::uint32_t tick, std::uint32_t seq) {
    appendNumber(out, "tick", tick);
    appendNumber(out, "seq", seq);
}

// Only the members of the input's own kind.
void appendInput(std::string& out, const Input& input) {
    open(out, "input");
    appendText(out, "kind", inputKindName(input.kind));
    appendText(out, "seat", seatName(input.seat));
    appendStamp(out, input.tick, input.seq);
    switch (input.kind) {
        case Input::Kind::KeyDown:
        case Input::Kind::KeyUp:
            appendNumber(out, "key", input.key);
            break;
        case Input::Kind::KeyRepeat:
            appendNumber(out, "delayUs", input.delayUs);
            appendNumber(out, "intervalUs", input.intervalUs);
            break;
        default:
            break;
    }
}

struct ClientWriter {
    std::string& out;
    void operator()(const client::Hello& m) {
        open(out, "hello");
        appendNumber(out, "version", m.version);
    }
    void operator()(const client::Create&) { open(out, "create"); }
    void operator()(const client::Join& m) {
        open(out, "join");
        appendText(out, "code", m.code);
    }
    void operator()(const client::Watch& m) {
        open(out, "watch");
        appendText(out, "code", m.code);
    }
    void operator()(const client::Rejoin& m) {
        open(out, "rejoin");
        appendText(out, "code", m.code);
        appendText(out, "token", m.token);
    }
    void operator()(const client::KeyDown& m) {
        open(out, "keyDown");
        appendNumber(out, "code", m.code);
        appendStamp(out, m.tick, m.seq);
    }
    void operator()(const client::KeyUp& m) {
        open(out, "keyUp");
        appendNumber(out, "code", m.code);
        appendStamp(out, m.tick, m.seq);
    }
    void operator()(const client::KeyRepeat& m) {
        open(out, "keyRepeat");
        appendNumber(out, "delay", m.delayMs);
        appendNumber(out, "interval", m.intervalMs);
        appendStamp(out, m.tick, m.seq);
    }
    void operator()(const client::FocusLost& m) {
        open(out, "focusLost");
        appendStamp(out, m.tick, m.seq);
    }
    void operator()(const client::BoxOk& m) {
        open(out, "ok");
        appendNumber(out, "box", m.box);
    }
    void operator()(const client::PlayAgain&) { open(out, "playAgain"); }
    void operator()(const client::Leave&) { open(out, "leave"); }
    void operator()(const client::Ping&) { open(out, "ping"); }
    void operator()(const client::Resync&) { open(out, "resync"); }
    void operator()(const client::QuickMatch&) { open(out, "quickMatch"); }
    void operator()(const client::LeaveQueue&) { open(out, "leaveQueue"); }
};

struct ServerWriter {
    std::string& out;
    void operator()(const server::Welcome& m) {
        open(out, "welcome");
        appendNumber(out, "version", m.version);
    }
    void operator()(const server::Seated& m) {
        open(out, "seated");
        appendText(out, "code", m.code);
        appendText(out, "seat", seatName(m.seat));
        if (!m.token.empty()) {
            appendText(out, "token", m.token);
        }
    }
    void operator()(const server::MatchStarted& m) {
        open(out, "matchStarted");
        appendNumber(out, "match", m.match);
        appendNumber(out, "startUs", m.startUs);
        appendNumber(out, "tick", m.tick);
        appendText(out, "state", m.state);
    }
    void operator()(const server::Input& m) { appendInput(out, m.input); }
    void operator()(const server::Final& m) {
        open(out, "final");
        appendNumber(out, "tick", m.tick);
        fmt::format_to(Out(out), FMT_COMPILE(",\"digest\":\"{:016x}\""), m.digest);
        appendNumber(out, "red", m.red);
        appendNumber(out, "blue", m.blue);
    }
    void operator()(const server::BoxOpened& m) {
        open(out, "box");
        appendNumber(out, "box", m.box);
        appendText(out, "text", m.text);
        appendSceneObject(out, m.scene);
    }
    void operator()(const server::BoxClosed& m) {
        open(out, "boxClosed");
        appendNumber(out, "box", m.box);
    }
    void operator()(const server::Paused& m) {
        open(out, "paused");
        appendText(out, "reason", m.reason);
        appendNumber(out, "tick", m.tick);
    }
    void operator()(const server::Resumed& m) {
        open(out, "resumed");
        appendText(out, "reason", m.reason);
        appendNumber(out, "tick", m.tick);
    }
    void operator()(const server::GameOver& m) {
        open(out, "gameOver");
        appendSceneObject(out, m.scene);
    }
    void operator()(const server::PlayAgainWanted& m) {
        open(out, "playAgainWanted");
        appendText(out, "seat", seatName(m.seat));
    }
    void operator()(const server::RoomClosed& m) {
        open(out, "roomClosed");
        appendText(out, "reason", m.reason);
    }
    void operator()(const server::Error& m) {
        open(out, "error");
        appendText(out, "message", m.message);
    }
    void operator()(const server::Pong& m) {
        open(out, "pong");
        appendNumber(out, "timeUs", m.timeUs);
    }
    void operator()(const server::Replay& m) {
        open(out, "replay");
        appendText(out, "id", m.id);
    }
    void operator()(const server::Queued& m) {
        open(out, "queued");
        appendNumber(out, "waitSeconds", m.waitSeconds);
    }
    void operator()(const server::Watchers& m) {
        open(out, "watchers");
        appendNumber(out, "count", m.count);
    }
    void operator()(const server::Refused& m) {
        open(out, "refused");
        appendNumber(out, "seq", m.seq);
    }
};

}  // namespace

std::string write(const ClientMessage& message) {
    std::string out;
    std::visit(ClientWriter{out}, message);
    out += '}';
    return out;
}

std::string write(const ServerMessage& message) {
    std::string out;
    std::visit(ServerWriter{out}, message);
    out += '}';
    return out;
}

}  // namespace voltaro::online
