#pragma once
// Code page 950 text that comes back as the bytes it was read from.
//
// Ten byte pairs decode to the same character as another pair (A2CC, the numeral ten,
// reads as the character of A451), so a decoded text would be written back as the other
// pair; and bytes that are no character at all (a lone lead byte at the end, an undefined
// pair) would be lost. Reading keeps both distinct, and writing maps them back:
// - a duplicate pair reads as its character followed by VARIATION SELECTOR-1, which
//   shows nothing, so the text looks as it always did;
// - a byte or pair that is no character reads as a private-use character of plane 15
//   (U+F0000 plus the byte or the pair's value).
// Everything else is the converter's own windows-950.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>
#include <string_view>

namespace kordane::cp950 {

QString decode(std::string_view bytes);
// nullopt when a character has no bytes in the code page.
std::optional<QByteArray> encode(QStringView text);
// Whether decoding met bytes that are no character.
bool hasEscapes(QStringView text);

} // namespace kordane::cp950
