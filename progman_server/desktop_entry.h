// Desktop entry files (.desktop, .directory): the values the server writes and reads back,
// with the escapes of the desktop entry format, and the atomic writing of its files.
#ifndef KARTOL_PROGMAN_SERVER_DESKTOP_ENTRY_H
#define KARTOL_PROGMAN_SERVER_DESKTOP_ENTRY_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace progman {

// A string value: backslashes doubled and a leading space as "\s", which a reader would drop.
std::string EscapeValue(std::string_view text);

// An Exec value that starts exactly this program: the path in double quotes with ", `, $ and
// \ escaped inside them and % doubled, then escaped as a string value.
std::string ExecValue(const std::filesystem::path& program);

// The unescaped value of key in a file that the server wrote, or nothing.
std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view key);

// Replaces file with text at once: the text goes to a temporary file beside it, which is then
// renamed over it, so a reader sees the old file or the new one and never a part.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text);

}  // namespace progman

#endif
