#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "game/form1.h"
#include "online/player_keys.h"
#include "online/protocol.h"
#include "online/tick_match.h"
#include "scene/event_wiring.h"
#include "scene/form_site.h"
#include "scene/paced_timers.h"
#include "server/core/duration.h"
#include "server/core/match_record.h"
#include "server/core/token_bucket.h"

namespace voltaro::server {

// The forms host of one online match: Form1 on the server, with the desktop's paced timers and
// per-key repeat (one per direction), driven by the time the lobby passes in.
//
// A player cannot be made to wait inside a procedure here, and no match may wait on another: a
// message box is noted with the scene as it stood when it opened and answered at once, so the
// procedure runs to its end. The room then shows the noted boxes to the clients, one by one,
// and the match waits (paused) until they are closed.
class MatchHost final : public FormSite, private ControlObserver {
  public:
    struct Box {
        std::string text;
        online::Scene scene;
    };

    MatchHost(Duration start, MatchRecord record);
    ~MatchHost() override;

    // Delivers every tick and key repeat due at `now`, as the desktop does at a wake-up.
    void advance(Duration now);
    Duration nextWakeUp() const;

    // A key of that player's keyboard. Arrows and W/A/S/D alike move the player's own piece.
    // False when it was turned away: the player holds as many keys as a keyboard can.
    bool keyDown(online::Seat player, std::int16_t pressed, Duration now);
    void keyUp(online::Seat player, std::int16_t pressed);
    void releaseKeys(online::Seat player);
    void setKeyRepeat(online::Seat player, Duration delay, Duration interval);

    // While paused nothing is delivered; ticks that fall due meanwhile are dropped, and the grid
    // goes on from where it stands on resuming, as after a message box.
    void pause();
    void resume(Duration now);
    bool paused() const { return paused_; }

    bool ended() const { return wiring_.ended(); }
    std::uint32_t tickAt(Duration now) const;
    online::Scene scene() const;

    // Whether the scene changed since the last call.
    bool takeChanged() { return std::exchange(changed_, false); }
    // The boxes shown since the last call, in order.
    std::vector<Box> takeBoxes() { return std::exchange(boxes_, {}); }

    void programEnded(int exitStatus) override;
    void reportRuntimeError(const RuntimeError& error) override;

  protected:
    void showMessageBox(const std::string& prompt) override;

  private:
    void shapeMoved(const Shape&, const TwipBox&) override { changed_ = true; }
    void captionChanged(const Label&) override { changed_ = true; }

    online::PlayerKeys& keysOf(online::Seat player);
    void deliverKey(std::int16_t code);
    void noteTick(Duration now);
    void deliverRepeats(Duration now);

    Form1 form_;
    EventWiring wiring_;
    PacedTimers timers_;
    std::array<online::PlayerKeys, 2> keys_;  // red's, blue's
    // How many presses each player may make now: kPressBurst at most, refilled at
    // kPressesPerSecond.
    std::array<TokenBucket, 2> presses_;
    MatchRecord record_;
    std::vector<Box> boxes_;
    Duration start_;
    Duration period_;
    Duration now_;             // of the call being handled
    std::uint32_t noted_ = 0;  // the last "# tick" line in the record
    const Shape& ball_;
    const Shape& red_;
    const Shape& blue_;
    const Label& redScore_;
    const Label& blueScore_;
    bool paused_ = false;
    bool changed_ = false;
};

}  // namespace voltaro::server
