#include "qt/key_codes.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <string_view>
#include <utility>

namespace voltaro {

namespace {

// Keys whose code is not their character.
constexpr std::pair<int, std::int16_t> kNamedKeys[] = {
    {Qt::Key_Backspace, 8},
    {Qt::Key_Tab, 9},
    {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},
    {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
    {Qt::Key_AltGr, 18},
    {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},
    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},
    {Qt::Key_Home, 36},
    {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},
    {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
    {Qt::Key_Meta, 91},
    {Qt::Key_Super_L, 91},
    {Qt::Key_Super_R, 92},
    {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},
    {Qt::Key_ScrollLock, 145},
    // Shifted digits and punctuation give the code of the key they are on (US layout).
    {Qt::Key_ParenRight, 48},
    {Qt::Key_Exclam, 49},
    {Qt::Key_At, 50},
    {Qt::Key_NumberSign, 51},
    {Qt::Key_Dollar, 52},
    {Qt::Key_Percent, 53},
    {Qt::Key_AsciiCircum, 54},
    {Qt::Key_Ampersand, 55},
    {Qt::Key_Asterisk, 56},
    {Qt::Key_ParenLeft, 57},
    {Qt::Key_Semicolon, 186},
    {Qt::Key_Colon, 186},
    {Qt::Key_Equal, 187},
    {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},
    {Qt::Key_Less, 188},
    {Qt::Key_Minus, 189},
    {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},
    {Qt::Key_Greater, 190},
    {Qt::Key_Slash, 191},
    {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192},
    {Qt::Key_AsciiTilde, 192},
    {Qt::Key_BracketLeft, 219},
    {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220},
    {Qt::Key_Bar, 220},
    {Qt::Key_BracketRight, 221},
    {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222},
    {Qt::Key_QuoteDbl, 222},
};

std::int16_t keypadCode(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
        return static_cast<std::int16_t>(96 + (qtKey - Qt::Key_0));
    }
    switch (qtKey) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            return -1;
    }
}

// The three letter rows of a US keyboard as they type unshifted, each from its first XKB key
// code (the Linux key code + 8).
struct KeyRow {
    std::uint32_t first;
    std::string_view keys;
};
constexpr KeyRow kUsKeyRows[] = {{24, "QWERTYUIOP[]"}, {38, "ASDFGHJKL;'`"}, {52, "ZXCVBNM,./"}};

// The classic code of a key of those rows: its letter, or the code of its punctuation key.
std::int16_t usRowKeyCode(char key) {
    if (key >= 'A' && key <= 'Z') {
        return key;
    }
    for (const auto& [qtKey, code] : kNamedKeys) {
        if (qtKey == key) {
            return code;  // Qt's codes for ASCII punctuation are the characters themselves
        }
    }
    return 0;
}

// A letter that is not one of the Latin alphabet: Qt gives such a key the upper-case letter's
// Unicode value.
bool typesOtherLetter(int qtKey) {
    if (qtKey <= 0x7F || qtKey > 0xFFFF) {
        return false;  // ASCII, or one of Qt's own codes for keys that type no character
    }
    const QChar c(static_cast<char16_t>(qtKey));
    return c.isLetter() && c.script() != QChar::Script_Latin;
}

// XKB key codes are what the X11 and Wayland platforms report as a key's native scan code.
bool scanCodesAreXkb() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

}  // namespace

std::int16_t usKeyCodeAt(std::uint32_t xkbKeycode) {
    for (const KeyRow& row : kUsKeyRows) {
        if (xkbKeycode >= row.first && xkbKeycode < row.first + row.keys.size()) {
            return usRowKeyCode(row.keys[xkbKeycode - row.first]);
        }
    }
    return 0;
}

std::int16_t hostKeyCode(int qtKey, bool onKeypad, std::uint32_t xkbKeycode) {
    if (typesOtherLetter(qtKey)) {
        return usKeyCodeAt(xkbKeycode);
    }
    if (onKeypad) {
        if (const std::int16_t code = keypadCode(qtKey); code >= 0) {
            return code;
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return static_cast<std::int16_t>(qtKey);  // Qt's codes for these are upper-case ASCII
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return static_cast<std::int16_t>(112 + (qtKey - Qt::Key_F1));
    }
    for (const auto& [key, code] : kNamedKeys) {
        if (key == qtKey) {
            return code;
        }
    }
    return 0;
}

std::int16_t hostKeyCode(const QKeyEvent& event) {
    return hostKeyCode(event.key(), event.modifiers().testFlag(Qt::KeypadModifier),
                       scanCodesAreXkb() ? event.nativeScanCode() : 0);
}

}  // namespace voltaro
