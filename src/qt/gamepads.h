#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <thread>

#include "pads/pad_players.h"

union SDL_Event;

namespace voltaro {

class PadWatch;
class QtHost;
struct SdlLibrary;

// Game controllers through SDL2, for controllers only: the window, the keyboard and the event
// loop stay Qt's, and SDL is polled from a timer. SDL starts once the window has first been
// painted and a pad is there (or SDL is in the process already); without a pad it is never
// loaded. The first pad plays red and the second blue; their directions go into the host as
// held keys while the game has the focus, as the keyboard's would, and the bottom face button
// answers a message box. Pads are picked up and let go as they are plugged in and out.
class Gamepads final : public QObject, private PadOutput {
    Q_OBJECT

  public:
    explicit Gamepads(QtHost& host);
    ~Gamepads() override;

    const PadPlayers& players() const { return players_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void startSdl();
    void started();
    void poll();
    void handle(const SDL_Event& event);
    void plugIn(int deviceIndex);
    void unplug(PadPlayers::PadId pad);

    void keyDown(int key, std::int16_t code) override;
    void keyUp(int key) override;
    void confirm() override;

    QtHost& host_;
    PadPlayers players_{*this};
    const SdlLibrary* sdl_ = nullptr;  // once SDL has started
    QTimer poll_;
    bool polling_ = false;
    std::unique_ptr<PadWatch> watch_;         // until a pad is there
    std::thread starter_;                     // loads and starts SDL, once
    const SdlLibrary* startedSdl_ = nullptr;  // its result, read once it has posted it
};

}  // namespace voltaro
