// Code page 1252, the program's single-byte text, and the Unicode forms of the host: UTF-8 for
// file names, terminals and line-mode output, UTF-16 for the texts in the dialog resources.
//
// Every one of the 256 bytes has a code point: the five bytes that code page 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for U+0081 and so on, as Windows converts
// them, so a byte string survives the round trip through UTF-8 unchanged. A code point with
// no byte becomes '?', and so does every ill-formed piece of UTF-8 or UTF-16 input.
#ifndef KARTOL_PLATFORM_HOST_CODEPAGE_H
#define KARTOL_PLATFORM_HOST_CODEPAGE_H

#include <optional>
#include <string>
#include <string_view>

namespace host {

// The byte that stands for a code point that code page 1252 cannot express.
inline constexpr char kUnmappableChar = '?';

char32_t Cp1252ToCodePoint(unsigned char byte);
std::optional<unsigned char> CodePointToCp1252(char32_t codePoint);

std::string Cp1252ToUtf8(std::string_view text);
std::string CodePointToUtf8(char32_t codePoint);
std::string Utf8ToCp1252(std::string_view text);

std::u16string Cp1252ToUtf16(std::string_view text);
// An unpaired surrogate and a pair (a code point beyond U+FFFF) both become one '?'.
std::string Utf16ToCp1252(std::u16string_view text);

// The length of the UTF-8 sequence that starts with this byte, judged by the byte alone: 1
// for ASCII and for bytes that cannot start a sequence, else 2 to 4.
int Utf8SequenceLength(unsigned char leadByte);

}  // namespace host

#endif
