#include "app/replay/seek_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace voltaro {

namespace {

const QColor kKeyMark(0xff, 0xbf, 0x00);
const QColor kGoalMark(0xff, 0xff, 0xff);

}  // namespace

SeekBar::SeekBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setObjectName(QStringLiteral("seek"));
    setAccessibleName(QStringLiteral("Seek to a tick"));
    setFocusPolicy(Qt::NoFocus);  // Space, the arrows, + and - belong to the replay's window
    setMinimum(0);
    setSingleStep(1);
    setPageStep(static_cast<int>(client::ReplayViewer::kTicksPerSecond));
}

void SeekBar::setMarks(std::vector<client::ReplayViewer::Mark> marks) {
    marks_ = std::move(marks);
    update();
}

QRect SeekBar::grooveRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
}

int SeekBar::handleLength() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this)
        .width();
}

// The handle's middle travels between half its length from either end of the groove.
int SeekBar::xOf(std::uint32_t tick) const {
    const QRect groove = grooveRect();
    const int handle = handleLength();
    return groove.x() + handle / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), static_cast<int>(tick),
                                           groove.width() - handle);
}

// The marks first, across the bar's height, so the groove and the handle lie over them; the
// goal's is full height and white, a key press's shorter and amber.
void SeekBar::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        for (const auto& mark : marks_) {
            const bool goal = mark.kind == client::ReplayViewer::Mark::Kind::Goal;
            const int top = goal ? 0 : height() / 3;
            painter.fillRect(xOf(mark.tick), top, 1, height() - top, goal ? kGoalMark : kKeyMark);
        }
    }
    QSlider::paintEvent(event);
}

// A press beside the handle puts the handle under the pointer, where it can be dragged on.
void SeekBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->position().toPoint())) {
            const QRect groove = grooveRect();
            const int span = groove.width() - handle.width();
            const int at = event->position().toPoint().x() - groove.x() - handle.width() / 2;
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), at, span));
        }
    }
    QSlider::mousePressEvent(event);
}

}  // namespace voltaro
