#include <FWKit/FWKeyCombo.h>

#include <array>
#include <utility>

namespace FWKit {

namespace {
// Key positions named as on a US keyboard. Keys without a name here (Return, Space, arrows,
// keypad, ...) show as "key#N".
constexpr std::array<std::pair<std::uint32_t, const char *>, 59> keyNames { { { 0, "A" },
    { 1, "S" }, { 2, "D" }, { 3, "F" }, { 4, "H" }, { 5, "G" }, { 6, "Z" }, { 7, "X" }, { 8, "C" },
    { 9, "V" }, { 11, "B" }, { 12, "Q" }, { 13, "W" }, { 14, "E" }, { 15, "R" }, { 16, "Y" },
    { 17, "T" }, { 31, "O" }, { 32, "U" }, { 34, "I" }, { 35, "P" }, { 37, "L" }, { 38, "J" },
    { 40, "K" }, { 45, "N" }, { 46, "M" }, { 18, "1" }, { 19, "2" }, { 20, "3" }, { 21, "4" },
    { 22, "6" }, { 23, "5" }, { 25, "9" }, { 26, "7" }, { 28, "8" }, { 29, "0" }, { 24, "=" },
    { 27, "-" }, { 30, "]" }, { 33, "[" }, { 39, "'" }, { 41, ";" }, { 42, "\\" }, { 43, "," },
    { 44, "/" }, { 47, "." }, { 50, "`" }, { 122, "F1" }, { 120, "F2" }, { 99, "F3" },
    { 118, "F4" }, { 96, "F5" }, { 97, "F6" }, { 98, "F7" }, { 100, "F8" }, { 101, "F9" },
    { 109, "F10" }, { 103, "F11" }, { 111, "F12" } } };

// The order the glyphs are always shown in, whatever order the bits were set in.
constexpr std::array<std::pair<std::uint32_t, char16_t>, 4> modifierGlyphs { {
    { FWModifier::control, u'\u2303' },
    { FWModifier::option, u'\u2325' },
    { FWModifier::shift, u'\u21E7' },
    { FWModifier::command, u'\u2318' },
} };
} // namespace

QString FWKeyCombo::displayString() const
{
    QString text;
    for (const auto &[bit, glyph] : modifierGlyphs) {
        if (modifiers & bit)
            text += QChar(glyph);
    }
    for (const auto &[code, name] : keyNames) {
        if (code == keyCode)
            return text + QLatin1String(name);
    }
    return text + QStringLiteral("key#") + QString::number(keyCode);
}

} // namespace FWKit
