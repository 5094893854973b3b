#pragma once

#include <QObject>
#include <memory>

namespace voltaro {

class ComputerHands;
class Form1;
class QtHost;

// A match against the computer in a window of its own, for a player who waits in the queue of
// "Play someone online": the player plays red with the arrow keys, the computer blue. It ends as
// any match does, or when the window is closed, or when someone comes to play; the program goes
// on either way.
class WaitingGame final : public QObject {
    Q_OBJECT

  public:
    WaitingGame();
    ~WaitingGame() override;

    void start();
    // Ends the match where it stands, a box open or not; `finished` follows.
    void stop();
    bool running() const { return host_ != nullptr && !ending_; }
    QtHost* host() const { return host_.get(); }

  signals:
    // The match is over, and its window gone.
    void finished();

  private:
    void ended();

    std::unique_ptr<QtHost> host_;
    std::unique_ptr<Form1> form_;
    std::unique_ptr<ComputerHands> hands_;
    bool ending_ = false;
};

}  // namespace voltaro
