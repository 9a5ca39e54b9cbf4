// Desktop entry files (.desktop, .directory): the values the server writes and reads back,
// with the escapes of the desktop entry format.
#ifndef KARTOL_PROGMAN_SERVER_DESKTOP_ENTRY_H
#define KARTOL_PROGMAN_SERVER_DESKTOP_ENTRY_H

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace progman {

// Whether a string value can hold the text: the format has escapes for line feed, tab and
// carriage return, but none for the other control characters.
bool CanEscape(std::string_view text);

// A string value: backslashes doubled, line feed, tab and carriage return as "\n", "\t",
// "\r", and a leading space as "\s", which a reader would drop. The text must pass CanEscape.
std::string EscapeValue(std::string_view text);

// An Exec value that runs exactly these arguments: each in double quotes with a backslash
// before ", `, $ and backslash inside them and % doubled, then escaped as a string value.
std::string ExecValue(std::span<const std::string> arguments);
// The quoted arguments of an Exec value, once read as a string value, as ExecValue writes them;
// nothing when a quote is not closed.
std::optional<std::vector<std::string>> ExecArguments(std::string_view exec);

// The unescaped value of key in a file that the server wrote, or nothing.
std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view key);

}  // namespace progman

#endif
