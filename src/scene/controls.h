#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "scene/layout.h"

namespace voltaro {

// A rectangle in twips, as a control's Left, Top, Width and Height.
struct TwipBox {
    float left, top, width, height;
    friend bool operator==(const TwipBox&, const TwipBox&) = default;
};

class Shape;
class Label;

// Told of every property change that the screen must show; the Qt host redraws from it.
class ControlObserver {
  public:
    virtual ~ControlObserver() = default;
    virtual void shapeMoved(const Shape& shape, const TwipBox& before) = 0;
    virtual void captionChanged(const Label& label) = 0;
};

class Controls;

// What every control has: its name, its array index, its place in the list.
class Control {
  public:
    const std::string& name() const { return name_; }
    std::int16_t index() const { return index_; }
    int number() const { return number_; }

  protected:
    Control(Controls& owner, const ControlRecord& record);
    ControlObserver* observer() const;

  private:
    Controls* owner_;
    std::string name_;
    std::int16_t index_;
    int number_;
};

class Shape : public Control {
  public:
    Shape(Controls& owner, const ControlRecord& record, const ShapeRecord& shape);

    float Left() const { return box_.left; }
    float Top() const { return box_.top; }
    float Width() const { return box_.width; }
    float Height() const { return box_.height; }
    const TwipBox& box() const { return box_; }

    void setLeft(float value);
    void setTop(float value);
    void setWidth(float value);
    void setHeight(float value);

    ShapeKind kind() const { return look_.kind; }
    Colour border() const { return look_.border; }
    FillStyle fill() const { return look_.fill; }
    Colour fillColour() const { return look_.fillColour; }

  private:
    void moveTo(const TwipBox& box);

    ShapeRecord look_;
    TwipBox box_;
};

class Line : public Control {
  public:
    Line(Controls& owner, const ControlRecord& record, const LineRecord& line);

    float X1() const { return line_.x1; }
    float Y1() const { return line_.y1; }
    float X2() const { return line_.x2; }
    float Y2() const { return line_.y2; }
    Colour colour() const { return line_.colour; }

  private:
    LineRecord line_;
};

class Label : public Control {
  public:
    Label(Controls& owner, const ControlRecord& record, const LabelRecord& label);

    const std::string& Caption() const { return caption_; }
    void setCaption(std::string value);

    TwipBox box() const { return {look_.left, look_.top, look_.width, look_.height}; }
    Alignment alignment() const { return look_.alignment; }
    Colour foreColour() const { return look_.foreColour; }
    Colour backColour() const { return look_.backColour; }
    const FontRecord& font() const { return look_.font; }

  private:
    LabelRecord look_;
    std::string caption_;
};

class Timer : public Control {
  public:
    Timer(Controls& owner, const ControlRecord& record, const TimerRecord& timer);

    int Interval() const { return timer_.interval; }
    bool Enabled() const { return timer_.enabled; }

  private:
    TimerRecord timer_;
};

using AnyControl = std::variant<Shape, Line, Label, Timer>;

// The controls of one form, created from its layout in list order. The list order is also the
// stacking order: the first control is drawn on top.
class Controls {
  public:
    explicit Controls(std::span<const ControlRecord> layout);
    Controls(const Controls&) = delete;
    Controls& operator=(const Controls&) = delete;

    Shape& shape(std::string_view name);
    Label& label(std::string_view name);
    Timer& timer(std::string_view name);
    const Shape& shape(std::string_view name) const;
    const Label& label(std::string_view name) const;
    // Null when the form has no such control: for names that come from outside the game (a
    // script's), in code built without exceptions.
    Shape* findShape(std::string_view name);
    Label* findLabel(std::string_view name);

    const std::vector<AnyControl>& inListOrder() const { return controls_; }

    void setObserver(ControlObserver* observer) { observer_ = observer; }
    ControlObserver* observer() const { return observer_; }

  private:
    template <typename Kind, typename List>
    static Kind* lookUp(List& controls, std::string_view name);
    template <typename Kind, typename List>
    static Kind& find(List& controls, std::string_view name);

    std::vector<AnyControl> controls_;
    ControlObserver* observer_ = nullptr;
};

}  // namespace voltaro
