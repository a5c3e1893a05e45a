#include "studio/KeyCodes.h"

namespace ov::studio::keycodes {

namespace {

struct KeyPair {
    int qtKey;
    int virtualKey;
};

// Keys whose virtual key code is not simply their character.
constexpr KeyPair kNamedKeys[] = {
    {Qt::Key_Backspace, 8},  {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},    {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},    {Qt::Key_Enter, 13},     {Qt::Key_Shift, 16},     {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},       {Qt::Key_AltGr, 18},     {Qt::Key_Pause, 19},     {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},    {Qt::Key_Space, 32},     {Qt::Key_PageUp, 33},    {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},       {Qt::Key_Home, 36},      {Qt::Key_Left, 37},      {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},     {Qt::Key_Down, 40},      {Qt::Key_Print, 44},     {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},    {Qt::Key_Help, 47},      {Qt::Key_Meta, 91},      {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},  {Qt::Key_ScrollLock, 145},
    // The punctuation keys of a US keyboard, unshifted.
    {Qt::Key_Semicolon, 186}, {Qt::Key_Equal, 187},   {Qt::Key_Comma, 188},    {Qt::Key_Minus, 189},
    {Qt::Key_Period, 190},   {Qt::Key_Slash, 191},    {Qt::Key_QuoteLeft, 192}, {Qt::Key_BracketLeft, 219},
    {Qt::Key_Backslash, 220}, {Qt::Key_BracketRight, 221}, {Qt::Key_Apostrophe, 222},
};

// The number pad has codes of its own.
int KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 96 + (qtKey - Qt::Key_0);
    switch (qtKey) {
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return 107;
        case Qt::Key_Minus: return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 110;
        case Qt::Key_Slash: return 111;
        default: return 0;
    }
}

}  // namespace

int VirtualKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (const int keypad = KeypadKey(qtKey)) return keypad;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // Qt's codes are the upper-case letters
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
    for (const KeyPair& pair : kNamedKeys)
        if (pair.qtKey == qtKey) return pair.virtualKey;
    return 0;
}

int ShiftState(Qt::KeyboardModifiers modifiers) {
    int shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= 1;
    if (modifiers & Qt::ControlModifier) shift |= 2;
    if (modifiers & Qt::AltModifier) shift |= 4;
    return shift;
}

int KeyAscii(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    const bool ctrl = (modifiers & Qt::ControlModifier) != 0;
    const bool alt = (modifiers & Qt::AltModifier) != 0;
    // Alt combinations are menu keys, not characters.
    if (alt) return 0;
    if (ctrl) return qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z ? qtKey - Qt::Key_A + 1 : 0;
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Backspace: return 8;
        default: break;
    }
    if (text.isEmpty()) return 0;
    const char16_t code = text.front().unicode();
    // Control characters other than the ones above, and characters beyond
    // Latin-1, have no key-press code.
    return code >= 32 && code != 127 && code < 256 ? code : 0;
}

int MouseButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return 1;
        case Qt::RightButton: return 2;
        case Qt::MiddleButton: return 4;
        default: return 0;
    }
}

}  // namespace ov::studio::keycodes
