#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

#include "online/protocol.h"

namespace voltaro::online {

namespace {

using Json = nlohmann::json;

// Server messages are all short; a client refuses anything far beyond them unread.
constexpr std::size_t kMaxServerMessageBytes = 4096;
// Room codes, tokens and texts: far more than any the server makes.
constexpr std::size_t kMaxCodeBytes = 40;
constexpr std::size_t kMaxTextBytes = 200;

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
        // A virtual key code: the keys a keyboard has, nothing the game's 16 bits could overflow.
        const auto code = f.integer("code", 1, 254);
        if (!code) {
            return std::nullopt;
        }
        if (type == "keyDown") {
            return KeyDown{static_cast<std::int16_t>(*code)};
        }
        return KeyUp{static_cast<std::int16_t>(*code)};
    }
    if (type == "keyRepeat") {
        const auto delay = f.number("delay");
        const auto interval = f.number("interval");
        if (!delay || !interval) {
            return std::nullopt;
        }
        return client::KeyRepeat{*delay, *interval};
    }
    if (type == "focusLost") {
        return FocusLost{};
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
    return std::nullopt;
}

std::optional<std::uint32_t> count(Fields& f, const char* name) {
    const auto value = f.integer(name, 0, std::numeric_limits<std::uint32_t>::max());
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
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
        const auto match = count(f, "match");
        auto scene = f.sceneObject("scene");
        if (!match || !scene) {
            return std::nullopt;
        }
        return MatchStarted{*match, std::move(*scene)};
    }
    if (type == "state") {
        const auto tick = count(f, "tick");
        auto scene = f.scene(f);
        if (!tick || !scene) {
            return std::nullopt;
        }
        return State{*tick, std::move(*scene)};
    }
    if (type == "box") {
        const auto box = count(f, "box");
        auto text = f.text("text", kMaxTextBytes);
        auto scene = f.sceneObject("scene");
        if (!box || !text || !scene) {
            return std::nullopt;
        }
        return BoxOpened{*box, std::move(*text), std::move(*scene)};
    }
    if (type == "boxClosed") {
        const auto box = count(f, "box");
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
        return Pong{};
    }
    // The messages that carry one text.
    const char* member = type == "error" ? "message" : "reason";
    if (type == "paused" || type == "resumed" || type == "roomClosed" || type == "error") {
        auto text = f.text(member, kMaxTextBytes);
        if (!text) {
            return std::nullopt;
        }
        if (type == "paused") {
            return Paused{std::move(*text)};
        }
        if (type == "resumed") {
            return Resumed{std::move(*text)};
        }
        if (type == "roomClosed") {
            return RoomClosed{std::move(*text)};
        }
        return Error{std::move(*text)};
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
