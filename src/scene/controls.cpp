#include "scene/controls.h"

#include <stdexcept>

namespace voltaro {

Control::Control(Controls& owner, const ControlRecord& record)
    : owner_(&owner), name_(record.name), index_(record.index), number_(record.number) {}

ControlObserver* Control::observer() const {
    return owner_->observer();
}

Shape::Shape(Controls& owner, const ControlRecord& record, const ShapeRecord& shape)
    : Control(owner, record),
      look_(shape),
      box_{shape.left, shape.top, shape.width, shape.height} {}

void Shape::setLeft(float value) {
    moveTo({value, box_.top, box_.width, box_.height});
}
void Shape::setTop(float value) {
    moveTo({box_.left, value, box_.width, box_.height});
}
void Shape::setWidth(float value) {
    moveTo({box_.left, box_.top, value, box_.height});
}
void Shape::setHeight(float value) {
    moveTo({box_.left, box_.top, box_.width, value});
}

void Shape::moveTo(const TwipBox& box) {
    if (box == box_) {
        return;
    }
    const TwipBox before = box_;
    box_ = box;
    if (auto* watcher = observer()) {
        watcher->shapeMoved(*this, before);
    }
}

Line::Line(Controls& owner, const ControlRecord& record, const LineRecord& line)
    : Control(owner, record), line_(line) {}

Label::Label(Controls& owner, const ControlRecord& record, const LabelRecord& label)
    : Control(owner, record), look_(label), caption_(label.caption) {}

void Label::setCaption(std::string value) {
    if (value == caption_) {
        return;
    }
    caption_ = std::move(value);
    if (auto* watcher = observer()) {
        watcher->captionChanged(*this);
    }
}

Timer::Timer(Controls& owner, const ControlRecord& record, const TimerRecord& timer)
    : Control(owner, record), timer_(timer) {}

Controls::Controls(std::span<const ControlRecord> layout) {
    controls_.reserve(layout.size());  // never grows again: references to controls stay valid
    for (const ControlRecord& record : layout) {
        std::visit(
            [&](const auto& body) {
                using Body = std::decay_t<decltype(body)>;
                if constexpr (std::is_same_v<Body, ShapeRecord>) {
                    controls_.emplace_back(std::in_place_type<Shape>, *this, record, body);
                } else if constexpr (std::is_same_v<Body, LineRecord>) {
                    controls_.emplace_back(std::in_place_type<Line>, *this, record, body);
                } else if constexpr (std::is_same_v<Body, LabelRecord>) {
                    controls_.emplace_back(std::in_place_type<Label>, *this, record, body);
                } else {
                    controls_.emplace_back(std::in_place_type<Timer>, *this, record, body);
                }
            },
            record.body);
    }
}

template <typename Kind, typename List>
Kind* Controls::lookUp(List& controls, std::string_view name) {
    for (auto& control : controls) {
        if (auto* found = std::get_if<std::remove_const_t<Kind>>(&control);
            found && found->name() == name) {
            return found;
        }
    }
    return nullptr;
}

template <typename Kind, typename List>
Kind& Controls::find(List& controls, std::string_view name) {
    if (Kind* found = lookUp<Kind>(controls, name)) {
        return *found;
    }
    throw std::out_of_range("Form1 has no such control: " + std::string(name));
}

Shape& Controls::shape(std::string_view name) {
    return find<Shape>(controls_, name);
}
Label& Controls::label(std::string_view name) {
    return find<Label>(controls_, name);
}
Timer& Controls::timer(std::string_view name) {
    return find<Timer>(controls_, name);
}
const Shape& Controls::shape(std::string_view name) const {
    return find<const Shape>(controls_, name);
}
const Label& Controls::label(std::string_view name) const {
    return find<const Label>(controls_, name);
}
Shape* Controls::findShape(std::string_view name) {
    return lookUp<Shape>(controls_, name);
}
Label* Controls::findLabel(std::string_view name) {
    return lookUp<Label>(controls_, name);
}

}  // namespace voltaro
