#include <fmt/compile.h>
#include <fmt/format.h>

#include <iterator>
#include <type_traits>

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

// The scene's members after a message's own, in the object that `out` has open. Captions are
// left out while they show the layout's "0": a State message may be replaced by a later one, so
// each carries all a client needs, and in play that is only the three places.
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

void appendState(std::string& out, std::uint32_t tick, const Scene& scene) {
    open(out, "state");
    appendNumber(out, "tick", tick);
    appendScene(out, scene);
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
    }
    void operator()(const client::KeyUp& m) {
        open(out, "keyUp");
        appendNumber(out, "code", m.code);
    }
    void operator()(const client::KeyRepeat& m) {
        open(out, "keyRepeat");
        appendNumber(out, "delay", m.delayMs);
        appendNumber(out, "interval", m.intervalMs);
    }
    void operator()(const client::FocusLost&) { open(out, "focusLost"); }
    void operator()(const client::BoxOk& m) {
        open(out, "ok");
        appendNumber(out, "box", m.box);
    }
    void operator()(const client::PlayAgain&) { open(out, "playAgain"); }
    void operator()(const client::Leave&) { open(out, "leave"); }
    void operator()(const client::Ping&) { open(out, "ping"); }
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
        appendSceneObject(out, m.scene);
    }
    void operator()(const server::State& m) { appendState(out, m.tick, m.scene); }
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
    }
    void operator()(const server::Resumed& m) {
        open(out, "resumed");
        appendText(out, "reason", m.reason);
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
    void operator()(const server::Pong&) { open(out, "pong"); }
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

void writeState(std::uint32_t tick, const Scene& scene, std::string& out) {
    out.clear();
    appendState(out, tick, scene);
    out += '}';
}

}  // namespace voltaro::online
