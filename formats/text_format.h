// Texts formatted as printf formats them, into a string of the length they take: the one way
// the programs put values into their messages.
#ifndef KARTOL_FORMATS_TEXT_FORMAT_H
#define KARTOL_FORMATS_TEXT_FORMAT_H

#include <cstdio>
#include <string>

namespace text {

template <typename... Values>
std::string Format(const char* format, Values... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

}  // namespace text

#endif
