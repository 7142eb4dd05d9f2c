#include "core/input/KeyCodeNames.h"

namespace ostrevane {

namespace KeyCodeNames {

const std::map<quint32, QString>& table()
{
    static const std::map<quint32, QString> names{
        {0, "A"},      {1, "S"},      {2, "D"},   {3, "F"},   {4, "H"},   {5, "G"},   {6, "Z"},   {7, "X"},
        {8, "C"},      {9, "V"},      {11, "B"},  {12, "Q"},  {13, "W"},  {14, "E"},  {15, "R"},  {16, "Y"},
        {17, "T"},     {18, "1"},     {19, "2"},  {20, "3"},  {21, "4"},  {22, "6"},  {23, "5"},  {24, "="},
        {25, "9"},     {26, "7"},     {27, "-"},  {28, "8"},  {29, "0"},  {30, "]"},  {31, "O"},  {32, "U"},
        {33, "["},     {34, "I"},     {35, "P"},  {36, "↩"},  {37, "L"},  {38, "J"},  {39, "'"},  {40, "K"},
        {41, ";"},     {42, "\\"},    {43, ","},  {44, "/"},  {45, "N"},  {46, "M"},  {47, "."},  {48, "⇥"},
        {49, "Space"}, {50, "`"},     {51, "⌫"},  {53, "⎋"},  {96, "F5"}, {97, "F6"}, {98, "F7"}, {99, "F3"},
        {100, "F8"},   {101, "F9"},   {103, "F11"}, {109, "F10"}, {111, "F12"}, {118, "F4"}, {120, "F2"},
        {122, "F1"},   {123, "←"},    {124, "→"}, {125, "↓"}, {126, "↑"},
    };
    return names;
}

QString name(quint32 keyCode)
{
    const auto& names = table();
    const auto it = names.find(keyCode);
    return it != names.end() ? it->second : QStringLiteral("Key#") + QString::number(keyCode);
}

QString name(quint32 keyCode, ChordStyle style)
{
    static const std::map<quint32, QString> words{
        {36, "Enter"}, {48, "Tab"},   {51, "Backspace"}, {53, "Esc"},
        {123, "Left"}, {124, "Right"}, {125, "Down"},    {126, "Up"},
    };
    if (style == ChordStyle::words)
        if (const auto it = words.find(keyCode); it != words.end())
            return it->second;
    return name(keyCode);
}

} // namespace KeyCodeNames

} // namespace ostrevane
