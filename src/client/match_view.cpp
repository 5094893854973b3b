#include "client/match_view.h"

#include <fmt/compile.h>
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <utility>

#include "online/text_case.h"
#include "scene/controls.h"

namespace voltaro::client {

namespace {

namespace msg = online::server;
using online::lowered;
using online::Seat;

std::string colourOf(Seat seat) {
    return seat == Seat::Red ? "Red" : "Blue";
}

// Close codes after which coming back with the same seat token cannot work.
bool hopeless(std::uint16_t code) {
    return code == online::close_code::kMalformed || code == online::close_code::kVersion ||
           code == online::close_code::kOutOfPlace || code == online::close_code::kSeatTakenOver ||
           code == online::close_code::kIdle;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

void MatchView::create() {
    request_ = Request::Create;
    sendRequest();
}

void MatchView::join(std::string code, std::string token) {
    code_ = std::move(code);
    token_ = std::move(token);
    request_ = token_.empty() ? Request::Join : Request::Rejoin;
    sendRequest();
}

void MatchView::connecting() {
    heard_ = true;
}

void MatchView::opened() {
    heard_ = true;
    connected_ = true;
    send(online::client::Hello{});
    if (phase_ == Phase::Reconnecting) {
        request_ = Request::Rejoin;
    }
}

void MatchView::sendRequest() {
    if (!connected_ || phase_ == Phase::Connecting) {
        return;  // sent when the server has welcomed us
    }
    switch (request_) {
        case Request::None:
            return;
        case Request::Create:
            send(online::client::Create{});
            break;
        case Request::Join:
            send(online::client::Join{code_});
            break;
        case Request::Rejoin:
            send(online::client::Rejoin{code_, token_});
            break;
    }
    show(Phase::Connecting, request_ == Request::Rejoin ? "Taking your seat back..."
                                                        : "Connected: asking for a seat...");
}

void MatchView::received(std::string_view frame) {
    heard_ = true;
    std::string problem;
    const auto message = online::readServerMessage(frame, problem);
    if (!message) {
        return;  // a newer server's addition, most likely: what we understand goes on
    }
    std::visit([this](const auto& m) { on(m); }, *message);
}

bool MatchView::closed(std::uint16_t code, std::string_view reason) {
    heard_ = true;
    connected_ = false;
    held_.clear();
    if (phase_ == Phase::Closed) {
        return false;
    }
    if (code == online::close_code::kVersion) {
        show(Phase::Closed, std::string(reason));
        return false;
    }
    // A kept token that the room no longer knows: join afresh.
    if (request_ == Request::Rejoin && code == online::close_code::kOutOfPlace &&
        phase_ == Phase::Connecting) {
        token_.clear();
        request_ = Request::Join;
        return true;
    }
    if (code == online::close_code::kGoingAway) {
        show(Phase::Closed, "The server has shut down: the match is over.");
        return false;
    }
    if (hopeless(code)) {
        show(Phase::Closed, reason.empty()
                                ? "The server closed the connection."
                                : "The server closed the connection: " + std::string(reason));
        return false;
    }
    if (!token_.empty()) {
        show(Phase::Reconnecting, "Lost the connection to the server: trying to reconnect...");
        return true;
    }
    show(Phase::Closed,
         welcomed_ ? "Lost the connection to the server." : "The server cannot be reached.");
    return false;
}

void MatchView::gaveUp() {
    show(Phase::Closed, "The server cannot be reached.");
}

bool MatchView::serverSilent(double nowMs) {
    if (phase_ == Phase::Closed) {
        return false;
    }
    const bool onTime = checkedAtMs_ && nowMs - *checkedAtMs_ <= kOnTimeMs;
    checkedAtMs_ = nowMs;
    if (heard_) {
        heard_ = false;
        pingedAtMs_.reset();
        heardAtMs_ = nowMs;
        return false;
    }
    const double silence = nowMs - heardAtMs_;
    if (!connected_) {
        return onTime && silence >= kOpenWithinMs;
    }
    // Asked first, however late this call comes: a hidden tab's timers may be slowed to one a
    // minute, while a box keeps the server quiet.
    if (!pingedAtMs_) {
        if (silence >= kPingAfterMs) {
            pingedAtMs_ = nowMs;
            send(online::client::Ping{});
        }
        return false;
    }
    return onTime && nowMs - *pingedAtMs_ >= kAnswerWithinMs;
}

void MatchView::keyDown(int key, std::int16_t code) {
    if (phase_ != Phase::Playing || !seat_ || *seat_ == Seat::Spectator || held_.contains(key)) {
        return;  // the server repeats a held key itself
    }
    held_[key] = code;
    send(online::client::KeyDown{code});
}

void MatchView::keyUp(int key) {
    const auto found = held_.find(key);
    if (found == held_.end()) {
        return;
    }
    send(online::client::KeyUp{found->second});
    held_.erase(found);
}

void MatchView::focusLost() {
    if (held_.empty()) {
        return;
    }
    held_.clear();
    send(online::client::FocusLost{});
}

void MatchView::setKeyRepeat(double delayMs, double intervalMs) {
    repeat_ = online::client::KeyRepeat{delayMs, intervalMs};
    if (seat_ && *seat_ != Seat::Spectator) {
        send(*repeat_);
    }
}

void MatchView::boxOk() {
    if (phase_ != Phase::Box || boxAnswered_) {
        return;
    }
    boxAnswered_ = true;
    send(online::client::BoxOk{box_});
    show(Phase::Box, "Waiting for " + friendName() + " to press OK...");
}

void MatchView::playAgain() {
    if (phase_ != Phase::Over) {
        return;
    }
    send(online::client::PlayAgain{});
}

void MatchView::leave() {
    if (connected_ && seat_) {
        send(online::client::Leave{});
    }
    token_.clear();
    show(Phase::Closed, "You left the match.");
}

std::vector<std::string> MatchView::takeOutgoing() {
    return std::exchange(outgoing_, {});
}

bool MatchView::takeChanged() {
    return std::exchange(changed_, false);
}

std::string MatchView::matchLine() const {
    if (!seat_) {
        return {};
    }
    if (*seat_ == Seat::Spectator) {
        return "watching Red against Blue, room " + code_;
    }
    return "you play " + colourOf(*seat_) + " against " + friendName() + ", room " + code_;
}

std::string MatchView::tickLine() const {
    return phase_ == Phase::Playing && sceneOfTick_ ? describeScene(tick_, scene_) : std::string();
}

std::string MatchView::friendName() const {
    return seat_ == Seat::Blue ? "Red" : "Blue";
}

void MatchView::send(const online::ClientMessage& message) {
    if (connected_) {
        outgoing_.push_back(online::write(message));
    }
}

void MatchView::show(Phase phase, std::string status) {
    phase_ = phase;
    status_ = std::move(status);
    changed_ = true;
}

void MatchView::on(const msg::Welcome&) {
    welcomed_ = true;
    phase_ = Phase::Lobby;
    if (request_ == Request::None) {
        show(Phase::Lobby, "Connected.");
    }
    sendRequest();
}

void MatchView::on(const msg::Seated& m) {
    const bool back = request_ == Request::Rejoin;
    code_ = m.code;
    seat_ = m.seat;
    token_ = m.token;
    request_ = Request::None;
    if (repeat_ && m.seat != Seat::Spectator) {
        send(*repeat_);
    }
    awayReason_.clear();  // told again by the server if the friend is still away
    if (m.seat == Seat::Red && (!back || matchNumber_ == 0)) {
        show(Phase::Waiting, "Waiting for your friend to join: send them the code " + code_ + ".");
    } else {
        show(Phase::Waiting, "Waiting for the match to start...");
    }
}

void MatchView::on(const msg::MatchStarted& m) {
    matchNumber_ = m.match;
    scene_ = m.scene;
    tick_ = 0;
    sceneOfTick_ = true;
    boxAnswered_ = false;
    show(Phase::Playing, awayReason_.empty() ? std::string() : awayReason_);
}

void MatchView::on(const msg::State& m) {
    if (phase_ != Phase::Playing) {
        return;
    }
    scene_ = m.scene;
    tick_ = m.tick;
    sceneOfTick_ = true;
    changed_ = true;
}

void MatchView::on(const msg::BoxOpened& m) {
    box_ = m.box;
    boxText_ = m.text;
    lastBoxText_ = m.text;
    boxAnswered_ = false;
    scene_ = m.scene;
    sceneOfTick_ = false;
    held_.clear();  // the keys' releases go to the box
    show(Phase::Box, awayReason_);
}

void MatchView::on(const msg::BoxClosed& m) {
    if (m.box != box_ || phase_ != Phase::Box) {
        return;
    }
    boxText_.clear();
    boxAnswered_ = false;
    show(Phase::Playing, awayReason_);
}

void MatchView::on(const msg::Paused& m) {
    awayReason_ = m.reason + ": the match waits for them to come back.";
    show(phase_, awayReason_);
}

void MatchView::on(const msg::Resumed& m) {
    awayReason_.clear();
    show(phase_, m.reason + ".");
}

void MatchView::on(const msg::GameOver& m) {
    scene_ = m.scene;
    sceneOfTick_ = false;
    boxText_.clear();
    show(Phase::Over, lastBoxText_.empty() ? "The match is over." : lastBoxText_);
}

void MatchView::on(const msg::PlayAgainWanted& m) {
    if (phase_ != Phase::Over) {
        return;
    }
    if (m.seat == seat_) {
        show(Phase::Over, "Waiting for " + friendName() + " to play again...");
    } else {
        show(Phase::Over, colourOf(m.seat) + " wants to play again.");
    }
}

void MatchView::on(const msg::RoomClosed& m) {
    token_.clear();
    show(Phase::Closed, m.reason + ".");
}

void MatchView::on(const msg::Error& m) {
    const bool wasRejoin = request_ == Request::Rejoin;
    request_ = Request::None;
    if (wasRejoin) {
        token_.clear();
        show(Phase::Closed, m.message + ".");
        return;
    }
    // A refused request leaves the connection open: the player may try another code.
    show(seat_ ? phase_ : Phase::Lobby, m.message + ".");
}

void showScene(const online::Scene& scene, Controls& controls) {
    const auto place = [&](std::string_view name, const online::Point& at) {
        Shape& shape = controls.shape(name);
        shape.setLeft(at.left);
        shape.setTop(at.top);
    };
    place("shpBall", scene.ball);
    place("shpRed", scene.red);
    place("shpBlue", scene.blue);
    controls.label("lblRed").setCaption(scene.redScore);
    controls.label("lblBlue").setCaption(scene.blueScore);
}

std::string describeScene(std::uint32_t tick, const online::Scene& scene) {
    const auto place = [](const online::Point& p) {
        return fmt::format(FMT_COMPILE("[{},{}]"), p.left, p.top);
    };
    return fmt::format(FMT_COMPILE("tick {} ball {} red {} blue {} score {} {}"), tick,
                       place(scene.ball), place(scene.red), place(scene.blue), scene.redScore,
                       scene.blueScore);
}

std::string matchSocketUrl(std::string_view address) {
    std::string text(address);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    std::string scheme = "ws";
    const auto separator = text.find("://");
    if (separator != std::string::npos) {
        const std::string given = lowered(text.substr(0, separator));
        if (given == "https" || given == "wss") {
            scheme = "wss";
        } else if (given != "http" && given != "ws") {
            return {};
        }
        text.erase(0, separator + 3);
    }
    const std::string authority = text.substr(0, text.find_first_of("/?#"));
    if (authority.empty()) {
        return {};
    }
    return scheme + "://" + authority + "/ws";
}

JoinTarget readJoinTarget(std::string_view typed) {
    std::string text(typed);
    const auto first = text.find_first_not_of(" \t\r\n");
    text.erase(0, first == std::string::npos ? text.size() : first);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    JoinTarget target;
    const bool address = text.find_first_of(":/.") != std::string::npos;
    if (!address) {
        target.code = text;
        return target;
    }
    target.server = matchSocketUrl(text);
    const auto query = text.find("match=");
    if (query != std::string::npos && query > 0 &&
        (text[query - 1] == '?' || text[query - 1] == '&')) {
        target.code = text.substr(query + 6, text.find_first_of("&#", query) - query - 6);
    }
    return target;
}

std::string roomSocketUrl(std::string_view socketUrl, std::string_view code) {
    std::string url(socketUrl);
    if (!code.empty()) {
        url += (url.find('?') == std::string::npos ? "?room=" : "&room=");
        url += code;
    }
    return url;
}

std::string joinLink(std::string_view socketUrl, std::string_view code) {
    std::string link(socketUrl);
    if (startsWith(link, "wss://")) {
        link.replace(0, 3, "https");
    } else if (startsWith(link, "ws://")) {
        link.replace(0, 2, "http");
    }
    if (link.ends_with("/ws")) {
        link.resize(link.size() - 2);
    }
    return link + "?match=" + std::string(code);
}

}  // namespace voltaro::client
