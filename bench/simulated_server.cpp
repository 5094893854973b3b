#include "simulated_server.h"

#include "online/snapshot.h"

namespace voltaro::bench {

namespace msg = online::server;

SimulatedServer::SimulatedServer(Broadcast broadcast) : broadcast_(std::move(broadcast)) {}

msg::MatchStarted SimulatedServer::started() const {
    return {.match = 1,
            .startUs = 0,
            .tick = final_.tick(),
            .state = online::encode(final_.snapshot())};
}

void SimulatedServer::receive(online::Input input, std::uint32_t present) {
    const std::uint32_t stamp = input.tick;
    input.tick = online::actingTick(stamp, present);
    lastSeq_[input.seat == online::Seat::Red ? 0 : 1] = input.seq;
    auto& inputs = open_[input.tick];
    const bool elsewhere = input.tick != stamp || !inputs.empty();
    inputs.push_back(input);
    broadcast_(msg::Input{input}, elsewhere ? std::nullopt : std::optional(input.seat));
}

void SimulatedServer::reach(std::uint32_t present) {
    if (present < lastFinalAt_ + online::kFinalEveryTicks || present <= online::kWindowTicks + 1) {
        return;
    }
    lastFinalAt_ = present - present % online::kFinalEveryTicks;
    const std::uint32_t last = present - online::kWindowTicks - 1;
    while (final_.tick() < last) {
        const std::uint32_t next = final_.tick() + 1;
        const auto inputs = open_.find(next);
        if (inputs == open_.end()) {
            final_.step();
        } else {
            final_.step(inputs->second);
            open_.erase(inputs);
        }
    }
    broadcast_(
        msg::Final{
            .tick = last, .digest = final_.digest(), .red = lastSeq_[0], .blue = lastSeq_[1]},
        std::nullopt);
}

}  // namespace voltaro::bench
