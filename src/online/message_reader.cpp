#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <utility>

#include "online/input_kind_name.h"
#include "online/protocol.h"

namespace voltaro::online {

namespace {

using Json = nlohmann::json;

// Server messages are all short but a match's state; a client refuses anything far beyond them
// unread.
constexpr std::size_t kMaxServerMessageBytes = 16384;
// Room codes, tokens and texts: far more than any the server makes.
constexpr std::size_t kMaxCodeBytes = 40;
constexpr std::size_t kMaxTextBytes = 200;
// An encoded match, with every key both players may hold: several times what one takes.
constexpr std::size_t kMaxStateBytes = 12288;
// The server's clock in microseconds: whole numbers that a double, and so the page's script,
// still holds exactly (2^53 us are 285 years of uptime).
constexpr std::int64_t kLatestTimeUs = (std::int64_t{1} << 53) - 1;
// Repeat settings of an input, in microseconds: what clampedRepeat can give, not more.
constexpr auto kShortestDelayUs = static_cast<std::int64_t>(kShortestRepeatDelayMs * 1000);
constexpr auto kLongestDelayUs = static_cast<std::int64_t>(kLongestRepeatDelayMs * 1000);
constexpr auto kShortestIntervalUs = static_cast<std::int64_t>(kShortestRepeatIntervalMs * 1000);
constexpr auto kLongestIntervalUs = static_cast<std::int64_t>(kLongestRepeatIntervalMs * 1000);
// A virtual key code: the keys a keyboard has, nothing the game's 16 bits could overflow.
constexpr std::int64_t kLowestKey = 1;
constexpr std::int64_t kHighestKey = 254;

// The members of one message object, each read with its kind and range checked. The first
// problem found is kept, worded for a close reason; later reads then give nothing.
class Fields {
  public:
    Fields(const Json& object, std::string& problem) : object_(object), problem_(problem) {}

    bool ok() const { return problem_.empty(); }

    std::optional<std::string> text(const char* name, std::size_t maxBytes) {
        const Json* value = find(name);
        if (!value) {
            return std::nullopt;
        }
        if (!value->is_string() || value->get_ref<const std::string&>().size() > maxBytes) {
            return fail(name, "is not a text of at most " + std::to_string(maxBytes) + " bytes");
        }
        return value->get<std::string>();
    }

    // A name the client puts into a link: letters and digits only, so that it can only ever
    // name, never change, the address it goes into.
    std::optional<std::string> name(const char* member, std::size_t maxBytes) {
        auto value = text(member, maxBytes);
        if (!value) {
            return std::nullopt;
        }
        const auto plain = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
        if (value->empty() || !std::all_of(value->begin(), value->end(), plain)) {
            return fail(member, "is not a name of letters and digits");
        }
        return value;
    }

    std::optional<std::int64_t> integer(const char* name, std::int64_t low, std::int64_t high) {
        const Json* value = find(name);
        if (!value) {
            return std::nullopt;
        }
        if (!value->is_number_integer()) {
            return fail(name, "is not a whole number");
        }
        // Unsigned members above the signed range compare as out of range too.
        if (value->is_number_unsigned() &&
            value->get<std::uint64_t>() >
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return fail(name, "is out of range");
        }
        const auto number = value->get<std::int64_t>();
        if (number < low || number > high) {
            return fail(name, "is out of range");
        }
        return number;
    }

    std::optional<std::uint32_t> count(const char* name) {
        const auto value = integer(name, 0, std::numeric_limits<std::uint32_t>::max());
        if (!value) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(*value);
    }

    // 64 bits as 16 lowercase hexadecimal digits: a JSON number would lose bits in a double.
    std::optional<std::uint64_t> digest(const char* name) {
        const auto text = this->text(name, 16);
        if (!text) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        const char* end = text->data() + text->size();
        const bool lowerHex = text->find_first_not_of("0123456789abcdef") == std::string::npos;
        if (text->size() != 16 || !lowerHex ||
            std::from_chars(text->data(), end, value, 16).ptr != end) {
            return fail(name, "is not 16 lowercase hexadecimal digits");
        }
        return value;
    }

    std::optional<double> number(const char* name) {
        const Json* value = find(name);
        if (!value) {
            return std::nullopt;
        }
        if (!value->is_number() || !std::isfinite(value->get<double>())) {
            return fail(name, "is not a number");
        }
        return value->get<double>();
    }

    // A place, [Left, Top], each a float in twips.
    std::optional<Point> point(const char* name) {
        const Json* value = find(name);
        if (!value) {
            return std::nullopt;
        }
        if (!value->is_array() || value->size() != 2 || !isFloat((*value)[0]) ||
            !isFloat((*value)[1])) {
            return fail(name, "is not a place [left, top]");
        }
        return Point{static_cast<float>((*value)[0].get<double>()),
                     static_cast<float>((*value)[1].get<double>())};
    }

    std::optional<Seat> seat(const char* name) {
        const auto text = this->text(name, 16);
        if (!text) {
            return std::nullopt;
        }
        for (const Seat seat : {Seat::Red, Seat::Blue, Seat::Spectator}) {
            if (*text == seatName(seat)) {
                return seat;
            }
        }
        return fail(name, "is not red, blue or spectator");
    }

    // A player's seat: what an input comes from.
    std::optional<Seat> player(const char* name) {
        const auto seat = this->seat(name);
        if (seat == Seat::Spectator) {
            return fail(name, "is not red or blue");
        }
        return seat;
    }

    // One of `words`, as its index.
    std::optional<std::size_t> word(const char* name, std::span<const std::string_view> words) {
        const auto text = this->text(name, 16);
        if (!text) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (*text == words[i]) {
                return i;
            }
        }
        return fail(name, "is not a word this version knows");
    }

    // Captions are absent while they show the layout's "0".
    std::optional<Scene> scene(Fields& members) {
        Scene scene;
        const auto ball = members.point("ball");
        const auto red = members.point("red");
        const auto blue = members.point("blue");
        if (!ball || !red || !blue) {
            return std::nullopt;
        }
        scene.ball = *ball;
        scene.red = *red;
        scene.blue = *blue;
        if (auto score = members.optionalText("redScore", kMaxTextBytes)) {
            scene.redScore = std::move(*score);
        }
        if (auto score = members.optionalText("blueScore", kMaxTextBytes)) {
            scene.blueScore = std::move(*score);
        }
        if (!members.ok()) {
            return std::nullopt;
        }
        return scene;
    }

    std::optional<Scene> sceneObject(const char* name) {
        const Json* value = find(name);
        if (!value) {
            return std::nullopt;
        }
        if (!value->is_object()) {
            return fail(name, "is not an object");
        }
        Fields members(*value, problem_);
        return scene(members);
    }

    std::optional<std::string> optionalText(const char* name, std::size_t maxBytes) {
        if (!ok() || !object_.contains(name)) {
            return std::nullopt;
        }
        return text(name, maxBytes);
    }

  private:
    static bool isFloat(const Json& value) {
        if (!value.is_number()) {
            return false;
        }
        const double number = value.get<double>();
        return std::isfinite(number) && std::fabs(number) <= std::numeric_limits<float>::max();
    }

    const Json* find(const char* name) {
        if (!ok()) {
            return nullptr;
        }
        const auto found = object_.find(name);
        if (found == object_.end()) {
            problem_ = std::string("\"") + name + "\" is missing";
            return nullptr;
        }
        return &*found;
    }

    std::nullopt_t fail(const char* name, const std::string& why) {
        problem_ = std::string("\"") + name + "\" " + why;
        return std::nullopt;
    }

    const Json& object_;
    std::string& problem_;
};

// The JSON object of a message and its type, or nothing with the problem said.
std::optional<std::pair<Json, std::string>> parseObject(std::string_view text, std::size_t maxBytes,
                                                        std::string& problem) {
    problem.clear();
    if (text.size() > maxBytes) {
        problem = "message longer than " + std::to_string(maxBytes) + " bytes";
        return std::nullopt;
    }
    Json object = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded() || !object.is_object()) {
        problem = "not a JSON object";
        return std::nullopt;
    }
    const auto type = object.find("type");
    if (type == object.end() || !type->is_string() ||
        type->get_ref<const std::string&>().size() > 32) {
        problem = "no message type";
        return std::nullopt;
    }
    std::string name = type->get<std::string>();
    return std::pair{std::move(object), std::move(name)};
}

std::optional<ClientMessage> readClient(const std::string& type, Fields& f) {
    using namespace client;
    if (type == "hello") {
        const auto version = f.integer("version", 0, std::numeric_limits<int>::max());
        if (!version) {
            return std::nullopt;
        }
        return Hello{static_cast<int>(*version)};
    }
    if (type == "create") {
        return Create{};
    }
    if (type == "join" || type == "watch") {
        auto code = f.text("code", kMaxCodeBytes);
        if (!code) {
            return std::nullopt;
        }
        if (type == "join") {
            return Join{std::move(*code)};
        }
        return Watch{std::move(*code)};
    }
    if (type == "rejoin") {
        auto code = f.text("code", kMaxCodeBytes);
        auto token = f.text("token", kMaxCodeBytes);
        if (!code || !token) {
            return std::nullopt;
        }
        return Rejoin{std::move(*code), std::move(*token)};
    }
    if (type == "keyDown" || type == "keyUp") {
        const auto code = f.integer("code", kLowestKey, kHighestKey);
        const auto tick = f.count("tick");
        const auto seq = f.count("seq");
        if (!code || !tick || !seq) {
            return std::nullopt;
        }
        const auto key = static_cast<std::int16_t>(*code);
        if (type == "keyDown") {
            return KeyDown{key, *tick, *seq};
        }
        return KeyUp{key, *tick, *seq};
    }
    if (type == "keyRepeat") {
        // Any finite number of milliseconds: the match takes them within a keyboard's range.
        const auto delay = f.number("delay");
        const auto interval = f.number("interval");
        const auto tick = f.count("tick");
        const auto seq = f.count("seq");
        if (!delay || !interval || !tick || !seq) {
            return std::nullopt;
        }
        return client::KeyRepeat{*delay, *interval, *tick, *seq};
    }
    if (type == "focusLost") {
        const auto tick = f.count("tick");
        const auto seq = f.count("seq");
        if (!tick || !seq) {
            return std::nullopt;
        }
        return FocusLost{*tick, *seq};
    }
    if (type == "ok") {
        const auto box = f.integer("box", 0, std::numeric_limits<std::uint32_t>::max());
        if (!box) {
            return std::nullopt;
        }
        return BoxOk{static_cast<std::uint32_t>(*box)};
    }
    if (type == "playAgain") {
        return PlayAgain{};
    }
    if (type == "leave") {
        return Leave{};
    }
    if (type == "ping") {
        return Ping{};
    }
    if (type == "resync") {
        return Resync{};
    }
    if (type == "quickMatch") {
        return QuickMatch{};
    }
    if (type == "leaveQueue") {
        return LeaveQueue{};
    }
    return std::nullopt;
}

// One player's input as the server took it: only the members its kind has are read.
std::optional<Input> readInput(Fields& f) {
    // Only the players' kinds: a pause or resume is never an input message.
    const auto kind = f.word("kind", std::span(kInputKindNames).first(kSentInputKinds));
    const auto seat = f.player("seat");
    const auto tick = f.count("tick");
    const auto seq = f.count("seq");
    if (!kind || !seat || !tick || !seq) {
        return std::nullopt;
    }
    Input input{.kind = static_cast<Input::Kind>(*kind), .seat = *seat, .tick = *tick, .seq = *seq};
    switch (input.kind) {
        case Input::Kind::KeyDown:
        case Input::Kind::KeyUp: {
            const auto key = f.integer("key", kLowestKey, kHighestKey);
            if (!key) {
                return std::nullopt;
            }
            input.key = static_cast<std::int16_t>(*key);
            break;
        }
        case Input::Kind::KeyRepeat: {
            const auto delay = f.integer("delayUs", kShortestDelayUs, kLongestDelayUs);
            const auto interval = f.integer("intervalUs", kShortestIntervalUs, kLongestIntervalUs);
            if (!delay || !interval) {
                return std::nullopt;
            }
            input.delayUs = static_cast<std::uint32_t>(*delay);
            input.intervalUs = static_cast<std::uint32_t>(*interval);
            break;
        }
        default:
            break;
    }
    return input;
}

std::optional<ServerMessage> readServer(const std::string& type, Fields& f) {
    using namespace server;
    if (type == "welcome") {
        const auto version = f.integer("version", 0, std::numeric_limits<int>::max());
        if (!version) {
            return std::nullopt;
        }
        return Welcome{static_cast<int>(*version)};
    }
    if (type == "seated") {
        auto code = f.text("code", kMaxCodeBytes);
        const auto seat = f.seat("seat");
        auto token = f.optionalText("token", kMaxCodeBytes);
        if (!code || !seat || !f.ok()) {
            return std::nullopt;
        }
        return Seated{std::move(*code), *seat, token ? std::move(*token) : std::string()};
    }
    if (type == "matchStarted") {
        const auto match = f.count("match");
        const auto start = f.integer("startUs", 0, kLatestTimeUs);
        const auto tick = f.count("tick");
        auto state = f.text("state", kMaxStateBytes);
        if (!match || !start || !tick || !state) {
            return std::nullopt;
        }
        return MatchStarted{*match, *start, *tick, std::move(*state)};
    }
    if (type == "input") {
        auto input = readInput(f);
        if (!input) {
            return std::nullopt;
        }
        return server::Input{*input};
    }
    if (type == "final") {
        const auto tick = f.count("tick");
        const auto digest = f.digest("digest");
        const auto red = f.count("red");
        const auto blue = f.count("blue");
        if (!tick || !digest || !red || !blue) {
            return std::nullopt;
        }
        return Final{*tick, *digest, *red, *blue};
    }
    if (type == "box") {
        const auto box = f.count("box");
        auto text = f.text("text", kMaxTextBytes);
        auto scene = f.sceneObject("scene");
        if (!box || !text || !scene) {
            return std::nullopt;
        }
        return BoxOpened{*box, std::move(*text), std::move(*scene)};
    }
    if (type == "boxClosed") {
        const auto box = f.count("box");
        if (!box) {
            return std::nullopt;
        }
        return BoxClosed{*box};
    }
    if (type == "gameOver") {
        auto scene = f.sceneObject("scene");
        if (!scene) {
            return std::nullopt;
        }
        return GameOver{std::move(*scene)};
    }
    if (type == "playAgainWanted") {
        const auto seat = f.seat("seat");
        if (!seat) {
            return std::nullopt;
        }
        return PlayAgainWanted{*seat};
    }
    if (type == "pong") {
        const auto time = f.integer("timeUs", 0, kLatestTimeUs);
        if (!time) {
            return std::nullopt;
        }
        return Pong{*time};
    }
    if (type == "replay") {
        auto id = f.name("id", kMaxCodeBytes);
        if (!id) {
            return std::nullopt;
        }
        return Replay{std::move(*id)};
    }
    if (type == "refused") {
        const auto seq = f.count("seq");
        if (!seq) {
            return std::nullopt;
        }
        return Refused{*seq};
    }
    if (type == "paused" || type == "resumed") {
        auto reason = f.text("reason", kMaxTextBytes);
        const auto tick = f.count("tick");
        if (!reason || !tick) {
            return std::nullopt;
        }
        if (type == "paused") {
            return Paused{std::move(*reason), *tick};
        }
        return Resumed{std::move(*reason), *tick};
    }
    // The messages that carry one text.
    const char* member = type == "error" ? "message" : "reason";
    if (type == "roomClosed" || type == "error") {
        auto text = f.text(member, kMaxTextBytes);
        if (!text) {
            return std::nullopt;
        }
        if (type == "roomClosed") {
            return RoomClosed{std::move(*text)};
        }
        return Error{std::move(*text)};
    }
    if (type == "queued") {
        const auto wait = f.count("waitSeconds");
        if (!wait) {
            return std::nullopt;
        }
        return Queued{*wait};
    }
    if (type == "watchers") {
        const auto count = f.count("count");
        if (!count) {
            return std::nullopt;
        }
        return Watchers{*count};
    }
    return std::nullopt;
}

template <typename Message, typename Read>
std::optional<Message> readMessage(std::string_view text, std::size_t maxBytes,
                                   std::string& problem, Read read) {
    auto parsed = parseObject(text, maxBytes, problem);
    if (!parsed) {
        return std::nullopt;
    }
    Fields fields(parsed->first, problem);
    auto message = read(parsed->second, fields);
    if (!message && problem.empty()) {
        problem = "unknown message type";  // not echoed: a close reason must stay clean text
    }
    return message;
}

}  // namespace

std::optional<ClientMessage> readClientMessage(std::string_view text, std::string& problem) {
    return readMessage<ClientMessage>(text, kMaxClientMessageBytes, problem, readClient);
}

std::optional<ServerMessage> readServerMessage(std::string_view text, std::string& problem) {
    return readMessage<ServerMessage>(text, kMaxServerMessageBytes, problem, readServer);
}

}  // namespace voltaro::online
