// How the program writes and compares the names it hands to Windows, as the target file
// system and the window manager read them: "\" and "/" both separate the components of a path,
// a drive's root "C:\" begins an absolute one, and the letters of code page 1252 are the same
// in either case.
#ifndef KARTOL_FORMATS_PROGRAM_NAMES_H
#define KARTOL_FORMATS_PROGRAM_NAMES_H

#include <cstddef>
#include <optional>
#include <string_view>

namespace names {

inline constexpr std::string_view kPathSeparators = "\\/";

constexpr bool IsPathSeparator(char c) {
    return kPathSeparators.find(c) != kPathSeparators.npos;
}

// "C:\", the shortest absolute path.
inline constexpr std::size_t kDriveRootLength = 3;

// The upper-case form of a letter of code page 1252, the rule of the path field's upper-case
// conversion: a-z, the accented small letters 0xE0-0xFE (not the division sign 0xF7), and
// š, œ, ž, ÿ. 'ß' and 'µ' have no single-byte capital and stay.
unsigned char Cp1252ToUpper(unsigned char byte);

// Whether two code page 1252 texts are the same without regard to case, as Windows compares
// file, class and resource names.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// Win32's rules for the names of files and folders, which the native file system and the
// payload tool's check of a product both apply.

// Win32 drops every space and dot at the end of a path ("C:\KARTOL . " is C:\KARTOL).
inline constexpr std::string_view kDroppedAtPathEnd = " .";

// Whether a component can be a name: no control character and none of "*:<>?|.
bool IsAllowedName(std::string_view name);

// The device that Win32 takes the last name of a path for, in any case and with anything after
// a dot ("nul", "CON.txt", "Lpt1 .log"): the part before the first dot without the spaces that
// end it, when that is a device's name; else nothing.
std::optional<std::string_view> DeviceOf(std::string_view name);

}  // namespace names

#endif
