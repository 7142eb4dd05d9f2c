#include "platform/x11/X11Keys.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <utility>

namespace ostrevane {

namespace X11Keys {

namespace {

// The key-name table's codes and the keysyms of the keys they name on a US layout.
constexpr std::array<std::pair<quint32, xcb_keysym_t>, 69> table{{
    {0, XK_a},          {1, XK_s},          {2, XK_d},          {3, XK_f},        {4, XK_h},
    {5, XK_g},          {6, XK_z},          {7, XK_x},          {8, XK_c},        {9, XK_v},
    {11, XK_b},         {12, XK_q},         {13, XK_w},         {14, XK_e},       {15, XK_r},
    {16, XK_y},         {17, XK_t},         {18, XK_1},         {19, XK_2},       {20, XK_3},
    {21, XK_4},         {22, XK_6},         {23, XK_5},         {24, XK_equal},   {25, XK_9},
    {26, XK_7},         {27, XK_minus},     {28, XK_8},         {29, XK_0},       {30, XK_bracketright},
    {31, XK_o},         {32, XK_u},         {33, XK_bracketleft}, {34, XK_i},     {35, XK_p},
    {36, XK_Return},    {37, XK_l},         {38, XK_j},         {39, XK_apostrophe}, {40, XK_k},
    {41, XK_semicolon}, {42, XK_backslash}, {43, XK_comma},     {44, XK_slash},   {45, XK_n},
    {46, XK_m},         {47, XK_period},    {48, XK_Tab},       {49, XK_space},   {50, XK_grave},
    {51, XK_BackSpace}, {53, XK_Escape},    {76, XK_KP_Enter},  {96, XK_F5},      {97, XK_F6},
    {98, XK_F7},        {99, XK_F3},        {100, XK_F8},       {101, XK_F9},     {103, XK_F11},
    {109, XK_F10},      {111, XK_F12},      {118, XK_F4},       {120, XK_F2},     {122, XK_F1},
    {123, XK_Left},     {124, XK_Right},    {125, XK_Down},     {126, XK_Up},
}};

constexpr std::array<std::pair<quint32, quint16>, 4> modifiers{{
    {0x200, XCB_MOD_MASK_SHIFT},
    {0x1000, XCB_MOD_MASK_CONTROL},
    {0x800, XCB_MOD_MASK_1},
    {0x100, XCB_MOD_MASK_4},
}};

} // namespace

std::optional<xcb_keysym_t> keysym(quint32 keyCode)
{
    for (const auto& [code, sym] : table)
        if (code == keyCode)
            return sym;
    return std::nullopt;
}

std::optional<quint32> keyCode(xcb_keysym_t keysym)
{
    if (keysym >= XK_A && keysym <= XK_Z)
        keysym += XK_a - XK_A;
    for (const auto& [code, sym] : table)
        if (sym == keysym)
            return code;
    return std::nullopt;
}

quint16 xModifiers(quint32 carbonModifiers)
{
    quint16 state = 0;
    for (const auto& [carbon, x] : modifiers)
        if (carbonModifiers & carbon)
            state |= x;
    return state;
}

quint32 carbonModifiers(quint16 xState)
{
    quint32 mask = 0;
    for (const auto& [carbon, x] : modifiers)
        if (xState & x)
            mask |= carbon;
    return mask;
}

std::vector<quint16> lockVariants(quint16 numLockMask)
{
    std::vector<quint16> variants{0, XCB_MOD_MASK_LOCK};
    if (numLockMask != 0 && numLockMask != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLockMask);
        variants.push_back(numLockMask | XCB_MOD_MASK_LOCK);
    }
    return variants;
}

bool anyKeyDown(const quint8 (&keys)[32], const std::vector<xcb_keycode_t>& keycodes)
{
    return std::any_of(keycodes.begin(), keycodes.end(),
                       [&](xcb_keycode_t code) { return (keys[code / 8] >> (code % 8)) & 1; });
}

} // namespace X11Keys

X11Keyboard::X11Keyboard(xcb_connection_t* connection)
    : m_connection(connection)
    , m_symbols(xcb_key_symbols_alloc(connection))
{
    readModifierMapping();
}

X11Keyboard::~X11Keyboard() { xcb_key_symbols_free(m_symbols); }

std::vector<xcb_keycode_t> X11Keyboard::keycodes(xcb_keysym_t keysym) const
{
    std::vector<xcb_keycode_t> result;
    std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(xcb_key_symbols_get_keycode(m_symbols, keysym),
                                                               &std::free);
    for (const xcb_keycode_t* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code)
        if (std::find(result.begin(), result.end(), *code) == result.end())
            result.push_back(*code);
    return result;
}

bool X11Keyboard::isOptionKey(xcb_keycode_t keycode) const
{
    return std::find(m_optionKeycodes.begin(), m_optionKeycodes.end(), keycode) != m_optionKeycodes.end();
}

bool X11Keyboard::isModifierKey(xcb_keycode_t keycode) const
{
    return std::find(m_modifierKeycodes.begin(), m_modifierKeycodes.end(), keycode) != m_modifierKeycodes.end();
}

bool X11Keyboard::isOptionDown() const
{
    const auto keymap = adoptReply(xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr));
    return keymap && X11Keys::anyKeyDown(keymap->keys, m_optionKeycodes);
}

void X11Keyboard::refresh(xcb_mapping_notify_event_t* event)
{
    xcb_refresh_keyboard_mapping(m_symbols, event);
    readModifierMapping();
}

void X11Keyboard::reload()
{
    xcb_key_symbols_free(m_symbols);
    m_symbols = xcb_key_symbols_alloc(m_connection);
    readModifierMapping();
}

// Which keycodes set each of the eight modifier bits; Mod1 is Option, and the bit that
// Num Lock's keycode sets is the one passive grabs must also cover.
void X11Keyboard::readModifierMapping()
{
    constexpr int mod1Index = 3;
    m_optionKeycodes.clear();
    m_modifierKeycodes.clear();
    m_numLockMask = 0;
    const auto mapping = adoptReply(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!mapping)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const std::vector<xcb_keycode_t> numLock = keycodes(XK_Num_Lock);
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == XCB_NO_SYMBOL)
                continue;
            m_modifierKeycodes.push_back(code);
            if (modifier == mod1Index)
                m_optionKeycodes.push_back(code);
            if (std::find(numLock.begin(), numLock.end(), code) != numLock.end())
                m_numLockMask = quint16(1u << modifier);
        }
}

} // namespace ostrevane
