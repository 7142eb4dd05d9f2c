#include "ui/QtKeyCodes.h"

#include "core/input/HotkeySettings.h"

#include <QHash>

namespace ostrevane::QtKeyCodes {

namespace {

// Qt keys (as typed on a US layout, shifted symbols included) to virtual key codes.
const QHash<int, quint32>& keyTable()
{
    static const QHash<int, quint32> table{
        {Qt::Key_A, 0}, {Qt::Key_S, 1}, {Qt::Key_D, 2}, {Qt::Key_F, 3}, {Qt::Key_H, 4}, {Qt::Key_G, 5},
        {Qt::Key_Z, 6}, {Qt::Key_X, 7}, {Qt::Key_C, 8}, {Qt::Key_V, 9}, {Qt::Key_B, 11}, {Qt::Key_Q, 12},
        {Qt::Key_W, 13}, {Qt::Key_E, 14}, {Qt::Key_R, 15}, {Qt::Key_Y, 16}, {Qt::Key_T, 17},
        {Qt::Key_1, 18}, {Qt::Key_Exclam, 18}, {Qt::Key_2, 19}, {Qt::Key_At, 19}, {Qt::Key_3, 20},
        {Qt::Key_NumberSign, 20}, {Qt::Key_4, 21}, {Qt::Key_Dollar, 21}, {Qt::Key_6, 22},
        {Qt::Key_AsciiCircum, 22}, {Qt::Key_5, 23}, {Qt::Key_Percent, 23}, {Qt::Key_Equal, 24},
        {Qt::Key_Plus, 24}, {Qt::Key_9, 25}, {Qt::Key_ParenLeft, 25}, {Qt::Key_7, 26},
        {Qt::Key_Ampersand, 26}, {Qt::Key_Minus, 27}, {Qt::Key_Underscore, 27}, {Qt::Key_8, 28},
        {Qt::Key_Asterisk, 28}, {Qt::Key_0, 29}, {Qt::Key_ParenRight, 29}, {Qt::Key_BracketRight, 30},
        {Qt::Key_BraceRight, 30}, {Qt::Key_O, 31}, {Qt::Key_U, 32}, {Qt::Key_BracketLeft, 33},
        {Qt::Key_BraceLeft, 33}, {Qt::Key_I, 34}, {Qt::Key_P, 35}, {Qt::Key_Return, 36}, {Qt::Key_L, 37},
        {Qt::Key_J, 38}, {Qt::Key_Apostrophe, 39}, {Qt::Key_QuoteDbl, 39}, {Qt::Key_K, 40},
        {Qt::Key_Semicolon, 41}, {Qt::Key_Colon, 41}, {Qt::Key_Backslash, 42}, {Qt::Key_Bar, 42},
        {Qt::Key_Comma, 43}, {Qt::Key_Less, 43}, {Qt::Key_Slash, 44}, {Qt::Key_Question, 44},
        {Qt::Key_N, 45}, {Qt::Key_M, 46}, {Qt::Key_Period, 47}, {Qt::Key_Greater, 47}, {Qt::Key_Tab, 48},
        {Qt::Key_Backtab, 48}, {Qt::Key_Space, 49}, {Qt::Key_QuoteLeft, 50}, {Qt::Key_AsciiTilde, 50},
        {Qt::Key_Backspace, 51}, {Qt::Key_Escape, 53}, {Qt::Key_Enter, 76},
        {Qt::Key_F1, 122}, {Qt::Key_F2, 120}, {Qt::Key_F3, 99}, {Qt::Key_F4, 118}, {Qt::Key_F5, 96},
        {Qt::Key_F6, 97}, {Qt::Key_F7, 98}, {Qt::Key_F8, 100}, {Qt::Key_F9, 101}, {Qt::Key_F10, 109},
        {Qt::Key_F11, 103}, {Qt::Key_F12, 111}, {Qt::Key_Help, 114}, {Qt::Key_Home, 115},
        {Qt::Key_PageUp, 116}, {Qt::Key_Delete, 117}, {Qt::Key_End, 119}, {Qt::Key_PageDown, 121},
        {Qt::Key_Left, 123}, {Qt::Key_Right, 124}, {Qt::Key_Down, 125}, {Qt::Key_Up, 126},
    };
    return table;
}

// Keys of the numeric keypad, recognised with Qt's keypad modifier.
const QHash<int, quint32>& keypadTable()
{
    static const QHash<int, quint32> table{
        {Qt::Key_0, 82}, {Qt::Key_1, 83}, {Qt::Key_2, 84}, {Qt::Key_3, 85}, {Qt::Key_4, 86},
        {Qt::Key_5, 87}, {Qt::Key_6, 88}, {Qt::Key_7, 89}, {Qt::Key_8, 91}, {Qt::Key_9, 92},
        {Qt::Key_Period, 65}, {Qt::Key_Asterisk, 67}, {Qt::Key_Plus, 69}, {Qt::Key_Slash, 75},
        {Qt::Key_Enter, 76}, {Qt::Key_Return, 76}, {Qt::Key_Minus, 78}, {Qt::Key_Equal, 81},
    };
    return table;
}

// X key codes (evdev + 8) of the main block of a PC keyboard, for layouts whose keys are
// not Latin: the physical key decides.
const QHash<quint32, quint32>& scanCodeTable()
{
    static const QHash<quint32, quint32> table{
        {10, 18}, {11, 19}, {12, 20}, {13, 21}, {14, 23}, {15, 22}, {16, 26}, {17, 28}, {18, 25}, {19, 29},
        {20, 27}, {21, 24}, {24, 12}, {25, 13}, {26, 14}, {27, 15}, {28, 17}, {29, 16}, {30, 32}, {31, 34},
        {32, 31}, {33, 35}, {34, 33}, {35, 30}, {38, 0}, {39, 1}, {40, 2}, {41, 3}, {42, 5}, {43, 4},
        {44, 38}, {45, 40}, {46, 37}, {47, 41}, {48, 39}, {49, 50}, {51, 42}, {52, 6}, {53, 7}, {54, 8},
        {55, 9}, {56, 11}, {57, 45}, {58, 46}, {59, 43}, {60, 47}, {61, 44},
    };
    return table;
}

template <class Key>
std::optional<quint32> lookup(const QHash<Key, quint32>& table, Key key)
{
    const auto it = table.constFind(key);
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

} // namespace

std::optional<quint32> keyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode)
{
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const auto code = lookup(keypadTable(), qtKey))
            return code;
    }
    if (const auto code = lookup(keyTable(), qtKey))
        return code;
    return lookup(scanCodeTable(), nativeScanCode);
}

quint32 carbonModifiers(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        mask |= CarbonModifier::shift;
    if (modifiers.testFlag(Qt::ControlModifier))
        mask |= CarbonModifier::control;
    if (modifiers.testFlag(Qt::AltModifier))
        mask |= CarbonModifier::option;
    if (modifiers.testFlag(Qt::MetaModifier))
        mask |= CarbonModifier::command;
    return mask;
}

} // namespace ostrevane::QtKeyCodes
