#pragma once

#include <QSlider>
#include <cstdint>
#include <vector>

#include "client/replay_viewer.h"

namespace voltaro {

// The replay's seek bar: a slider over the record's ticks with the viewer's marks (each key
// press, and the goal) painted along it. A click on the bar jumps there and the handle can be
// dragged from it; it takes no focus, so the replay's keys stay the window's.
class SeekBar final : public QSlider {
    Q_OBJECT

  public:
    explicit SeekBar(QWidget* parent = nullptr);

    void setMarks(std::vector<client::ReplayViewer::Mark> marks);
    // The bar's x at the middle of the handle when it stands at `tick`.
    int xOf(std::uint32_t tick) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QRect grooveRect() const;
    int handleLength() const;

    std::vector<client::ReplayViewer::Mark> marks_;
};

}  // namespace voltaro
