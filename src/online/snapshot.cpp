#include "online/snapshot.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace voltaro::online {

namespace {

// The first word of every snapshot: a text of another layout is not read as this one.
constexpr std::string_view kMagic = "match1";

// No match holds more than these; a count beyond them is no snapshot.
constexpr std::size_t kMostTimers = 8;
constexpr std::size_t kMostRepeats = 16;
constexpr std::size_t kMostBoxes = 8;
constexpr std::size_t kMostTextBytes = 1024;
// Times run from the match's start: no later than ten years of ticks, never before it.
constexpr std::int64_t kLatestNs = std::int64_t(10) * 366 * 24 * 3600 * 1000000000;

using Duration = PacedTimers::Duration;

// Words separated by one blank. Texts are written with every byte that is not a printable
// ASCII character other than '%' as %XX, after a '=' that keeps the empty text a word.
class Writer {
  public:
    template <typename Int>
    void integer(Int value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        word(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    void flag(bool value) { word(value ? "1" : "0"); }
    void real(float value) {
        static constexpr char kHex[] = "0123456789abcdef";
        const auto bits = std::bit_cast<std::uint32_t>(value);
        char digits[8];
        for (int i = 0; i < 8; ++i) {
            digits[i] = kHex[(bits >> (28 - 4 * i)) & 0xF];
        }
        word(std::string_view(digits, 8));
    }
    void text(std::string_view value) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string escaped = "=";
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= ' ' || byte >= 0x7F || c == '%') {
                escaped += '%';
                escaped += kHex[byte >> 4];
                escaped += kHex[byte & 0xF];
            } else {
                escaped += c;
            }
        }
        word(escaped);
    }
    void word(std::string_view value) {
        if (!out_.empty()) {
            out_ += ' ';
        }
        out_ += value;
    }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
};

// Reads the words back; any word out of place makes `ok()` false for good.
class Reader {
  public:
    explicit Reader(std::string_view text) : rest_(text) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && rest_.empty(); }

    template <typename Int>
    Int integer(Int lowest = std::numeric_limits<Int>::min(),
                Int highest = std::numeric_limits<Int>::max()) {
        const std::string_view w = word();
        Int value{};
        const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), value);
        if (w.empty() || error != std::errc() || end != w.data() + w.size() || value < lowest ||
            value > highest) {
            ok_ = false;
            return lowest;
        }
        return value;
    }
    std::size_t count(std::size_t most) { return integer<std::size_t>(0, most); }
    bool flag() { return integer<int>(0, 1) == 1; }
    float real() { return bitsOf(word()); }
    // An Empty Variant is "e", a Single its bits.
    Variant variant() {
        const std::string_view w = word();
        return w == "e" ? Variant() : Variant(bitsOf(w));
    }
    Duration time() { return Duration(integer<std::int64_t>(0, kLatestNs)); }
    std::string text() {
        const std::string_view w = word();
        if (w.empty() || w.front() != '=' || w.size() > 1 + 3 * kMostTextBytes) {
            ok_ = false;
            return {};
        }
        std::string value;
        for (std::size_t i = 1; i < w.size(); ++i) {
            if (w[i] != '%') {
                value += w[i];
                continue;
            }
            unsigned byte = 0;
            const char* first = w.data() + i + 1;
            const char* last = w.data() + std::min(w.size(), i + 3);
            const auto [end, error] = std::from_chars(first, last, byte, 16);
            if (last - first != 2 || error != std::errc() || end != last) {
                ok_ = false;
                return {};
            }
            value += static_cast<char>(byte);
            i += 2;
        }
        return value;
    }

  private:
    float bitsOf(std::string_view w) {
        std::uint32_t bits = 0;
        const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), bits, 16);
        const float value = std::bit_cast<float>(bits);
        // No place or variable of the game is ever infinite or not a number.
        if (w.size() != 8 || error != std::errc() || end != w.data() + w.size() ||
            !std::isfinite(value)) {
            ok_ = false;
        }
        return value;
    }

  public:
    std::string_view word() {
        if (!ok_ || rest_.empty()) {
            ok_ = false;
            return {};
        }
        const auto blank = rest_.find(' ');
        const std::string_view w = rest_.substr(0, blank);
        rest_ = blank == std::string_view::npos ? std::string_view{} : rest_.substr(blank + 1);
        if (w.empty() || (blank != std::string_view::npos && rest_.empty())) {
            ok_ = false;  // two blanks, or one at an end
        }
        return w;
    }

    std::string_view rest_;
    bool ok_ = true;
};

void write(Writer& out, Point point) {
    out.real(point.left);
    out.real(point.top);
}
Point readPoint(Reader& in) {
    const float left = in.real();
    return {left, in.real()};
}

void write(Writer& out, const Scene& scene) {
    write(out, scene.ball);
    write(out, scene.red);
    write(out, scene.blue);
    out.text(scene.redScore);
    out.text(scene.blueScore);
}
Scene readScene(Reader& in) {
    Scene scene;
    scene.ball = readPoint(in);
    scene.red = readPoint(in);
    scene.blue = readPoint(in);
    scene.redScore = in.text();
    scene.blueScore = in.text();
    return scene;
}

void write(Writer& out, Variant value) {
    if (value.isEmpty()) {
        out.word("e");
    } else {
        out.real(*value.value());
    }
}

void write(Writer& out, Integer value) {
    out.integer(value.value());
}
Integer readInteger(Reader& in) {
    return Integer::rounded(in.integer<std::int16_t>());
}

}  // namespace

std::string encode(const TickMatch::Snapshot& s) {
    Writer out;
    out.word(kMagic);
    out.integer(s.tick);
    out.flag(s.paused);
    out.flag(s.ended);
    write(out, s.scene);
    const MatchState& f = s.form;
    out.text(f.strDirX);
    out.text(f.strDirY);
    for (const Variant v : {f.redLeft, f.redRight, f.redBottom}) {
        write(out, v);
    }
    write(out, f.redTop);
    for (const Variant v : {f.blueLeft, f.blueRight, f.blueBottom}) {
        write(out, v);
    }
    write(out, f.blueTop);
    write(out, f.ballTop);
    write(out, f.ballBottom);
    write(out, f.ballRight);
    out.integer(s.timers.size());
    for (const Duration due : s.timers) {
        out.integer(due.count());
    }
    for (const PlayerKeys::State& keys : s.keys) {
        out.integer(keys.held.size());
        for (const PlayerKeys::Held& held : keys.held) {
            out.integer(held.key);
            out.integer(held.code);
        }
        const KeyRepeat::State& r = keys.repeats;
        out.integer(r.delay.count());
        out.integer(r.interval.count());
        out.integer(r.pressed);
        out.integer(r.held.size());
        for (const KeyRepeat::Held& held : r.held) {
            out.integer(held.key);
            out.integer(held.code);
            out.integer(held.order);
            out.integer(held.due.count());
            out.integer(held.pressedAt.count());
            out.flag(held.repeated);
        }
    }
    out.integer(s.boxes.size());
    for (const MatchBox& box : s.boxes) {
        out.text(box.text);
        write(out, box.scene);
    }
    return out.take();
}

std::optional<TickMatch::Snapshot> decodeSnapshot(std::string_view text) {
    Reader in(text);
    if (in.word() != kMagic) {
        return std::nullopt;
    }
    TickMatch::Snapshot s;
    s.tick = in.integer<std::uint32_t>();
    s.paused = in.flag();
    s.ended = in.flag();
    s.scene = readScene(in);
    MatchState& f = s.form;
    f.strDirX = in.text();
    f.strDirY = in.text();
    f.redLeft = in.variant();
    f.redRight = in.variant();
    f.redBottom = in.variant();
    f.redTop = readInteger(in);
    f.blueLeft = in.variant();
    f.blueRight = in.variant();
    f.blueBottom = in.variant();
    f.blueTop = readInteger(in);
    f.ballTop = in.variant();
    f.ballBottom = in.variant();
    f.ballRight = readInteger(in);
    s.timers.resize(in.count(kMostTimers));
    for (Duration& due : s.timers) {
        due = in.time();
    }
    for (PlayerKeys::State& keys : s.keys) {
        keys.held.resize(in.count(PlayerKeys::kMostHeld));
        for (PlayerKeys::Held& held : keys.held) {
            held.key = in.integer<std::int16_t>();
            held.code = in.integer<std::int16_t>();
        }
        KeyRepeat::State& r = keys.repeats;
        r.delay = in.time();
        r.interval = in.time();
        r.pressed = in.integer<std::uint64_t>();
        r.held.resize(in.count(kMostRepeats));
        for (KeyRepeat::Held& held : r.held) {
            held.key = in.integer<std::int16_t>();
            held.code = in.integer<std::int16_t>();
            held.order = in.integer<std::uint64_t>();
            held.due = in.time();
            held.pressedAt = in.time();
            held.repeated = in.flag();
        }
    }
    s.boxes.resize(in.count(kMostBoxes));
    for (MatchBox& box : s.boxes) {
        box.text = in.text();
        box.scene = readScene(in);
    }
    if (!in.atEnd()) {
        return std::nullopt;
    }
    return s;
}

std::uint64_t digestOf(std::string_view encoded) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : encoded) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace voltaro::online
