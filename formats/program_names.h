// How the program writes the names it hands to Windows, as the target file system reads them:
// "\" and "/" both separate the components of a path, and a drive's root "C:\" begins an
// absolute one.
#ifndef KARTOL_FORMATS_PROGRAM_NAMES_H
#define KARTOL_FORMATS_PROGRAM_NAMES_H

#include <cstddef>
#include <string_view>

namespace names {

inline constexpr std::string_view kPathSeparators = "\\/";

constexpr bool IsPathSeparator(char c) {
    return kPathSeparators.find(c) != kPathSeparators.npos;
}

// "C:\", the shortest absolute path.
inline constexpr std::size_t kDriveRootLength = 3;

}  // namespace names

#endif
