#include "online/snapshot.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "online/text_case.h"

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
// A count of presses, or a press's place among them: far beyond any match.
constexpr std::int64_t kMostSerial = 999999999999999999;

using Duration = PacedTimers::Duration;

// Words separated by one blank: whole numbers in decimal, floats as the 8 hex digits of their
// bits, texts after a '=' (which keeps the empty text a word) with every byte that is not a
// printable ASCII character other than '%' as %XX. Written and read by hand rather than with
// <charconv>, whose templates would be most of this code in the page's module.
class Writer {
  public:
    Writer() { out_.reserve(256); }

    void number(std::int64_t value) {
        separate();
        char digits[20];
        int count = 0;
        // Negated as unsigned: the lowest int64 has no positive twin.
        std::uint64_t rest = value < 0 ? 0 - static_cast<std::uint64_t>(value) : value;
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest > 0);
        if (value < 0) {
            out_ += '-';
        }
        while (count > 0) {
            out_ += digits[--count];
        }
    }
    void flag(bool value) { number(value ? 1 : 0); }
    void real(float value) {
        separate();
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 28; shift >= 0; shift -= 4) {
            out_ += kHex[(bits >> shift) & 0xF];
        }
    }
    void text(std::string_view value) {
        separate();
        out_ += '=';
        for (const char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte <= ' ' || byte >= 0x7F || c == '%') {
                out_ += '%';
                out_ += kHex[byte >> 4];
                out_ += kHex[byte & 0xF];
            } else {
                out_ += c;
            }
        }
    }
    void word(std::string_view value) {
        separate();
        out_ += value;
    }
    std::string take() { return std::move(out_); }

  private:
    static constexpr char kHex[] = "0123456789abcdef";

    void separate() {
        if (!out_.empty()) {
            out_ += ' ';
        }
    }

    std::string out_;
};

// Reads the words back; any word out of place makes `ok()` false for good.
class Reader {
  public:
    explicit Reader(std::string_view text) : rest_(text) {}

    bool atEnd() const { return ok_ && rest_.empty(); }

    std::int64_t number(std::int64_t lowest, std::int64_t highest) {
        const std::string_view w = word();
        const bool negative = !w.empty() && w.front() == '-';
        const std::string_view digits = w.substr(negative ? 1 : 0);
        std::uint64_t value = 0;
        // 18 digits never overflow, and every number here fits in them.
        if (digits.empty() || digits.size() > 18) {
            return refused(lowest);
        }
        for (const char c : digits) {
            if (c < '0' || c > '9') {
                return refused(lowest);
            }
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
        const auto signed_ =
            negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
        return signed_ < lowest || signed_ > highest ? refused(lowest) : signed_;
    }
    template <typename Int>
    Int integer() {
        return static_cast<Int>(
            number(std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()));
    }
    std::size_t count(std::size_t most) {
        return static_cast<std::size_t>(number(0, static_cast<std::int64_t>(most)));
    }
    std::uint64_t serial() { return static_cast<std::uint64_t>(number(0, kMostSerial)); }
    bool flag() { return number(0, 1) == 1; }
    Duration time() { return Duration(number(0, kLatestNs)); }
    float real() { return bitsOf(word()); }
    // An Empty Variant is "e", a Single its bits.
    Variant variant() {
        const std::string_view w = word();
        return w == "e" ? Variant() : Variant(bitsOf(w));
    }
    std::string text() {
        const std::string_view w = word();
        if (w.empty() || w.front() != '=' || w.size() > 1 + 3 * kMostTextBytes) {
            return refused(std::string());
        }
        std::string value;
        for (std::size_t i = 1; i < w.size(); ++i) {
            if (w[i] != '%') {
                value += w[i];
                continue;
            }
            const int high = i + 2 < w.size() ? hexDigit(w[i + 1]) : -1;
            const int low = high >= 0 ? hexDigit(w[i + 2]) : -1;
            if (low < 0) {
                return refused(std::string());
            }
            value += static_cast<char>(high * 16 + low);
            i += 2;
        }
        return value;
    }

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

  private:
    template <typename Value>
    Value refused(Value value) {
        ok_ = false;
        return value;
    }

    float bitsOf(std::string_view w) {
        std::uint32_t bits = 0;
        for (const char c : w) {
            bits = bits << 4 | static_cast<std::uint32_t>(hexDigit(c) & 0xF);
        }
        float value;
        std::memcpy(&value, &bits, sizeof value);
        // No place or variable of the game is ever infinite or not a number.
        if (w.size() != 8 ||
            !std::all_of(w.begin(), w.end(), [](char c) { return hexDigit(c) >= 0; }) ||
            !std::isfinite(value)) {
            return refused(0.0F);
        }
        return value;
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
    out.number(value.value());
}
Integer readInteger(Reader& in) {
    return Integer::rounded(in.integer<std::int16_t>());
}

}  // namespace

std::string encode(const TickMatch::Snapshot& s) {
    Writer out;
    out.word(kMagic);
    out.number(s.tick);
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
    out.number(static_cast<std::int64_t>(s.timers.size()));
    for (const Duration due : s.timers) {
        out.number(due.count());
    }
    for (const PlayerKeys::State& keys : s.keys) {
        out.number(static_cast<std::int64_t>(keys.held.size()));
        for (const PlayerKeys::Held& held : keys.held) {
            out.number(held.key);
            out.number(held.code);
        }
        const KeyRepeat::State& r = keys.repeats;
        out.number(r.delay.count());
        out.number(r.interval.count());
        out.number(static_cast<std::int64_t>(r.pressed));
        out.number(static_cast<std::int64_t>(r.held.size()));
        for (const KeyRepeat::Held& held : r.held) {
            out.number(held.key);
            out.number(held.code);
            out.number(static_cast<std::int64_t>(held.order));
            out.number(held.due.count());
            out.number(held.pressedAt.count());
            out.flag(held.repeated);
        }
    }
    out.number(static_cast<std::int64_t>(s.boxes.size()));
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
        r.pressed = in.serial();
        r.held.resize(in.count(kMostRepeats));
        for (KeyRepeat::Held& held : r.held) {
            held.key = in.integer<std::int16_t>();
            held.code = in.integer<std::int16_t>();
            held.order = in.serial();
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
