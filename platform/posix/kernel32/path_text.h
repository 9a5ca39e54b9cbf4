// Program paths as text, resolved the way the program's file system resolves them before it
// looks at the disk: which paths are absolute drive paths, their components, their full form.
#ifndef KARTOL_PLATFORM_POSIX_PATH_TEXT_H
#define KARTOL_PLATFORM_POSIX_PATH_TEXT_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

// A drive's letter: A to Z in either case.
bool IsDriveLetter(char c);

// "X:\" or "X:/" and anything after it.
bool IsAbsoluteDrivePath(std::string_view programPath);

// The last name of a path as it was written, where Win32 looks for a device's name:
// "C:\NUL\." is no device.
std::string_view LastName(std::string_view programPath);

// The components below the drive root: both "\" and "/" separate them; empty components and
// "." are skipped, and ".." goes up one component but never above the drive's root. As in
// Win32, a component loses a single final dot before a separator, and the path loses every
// space and dot at its end. "C:\KARTOL.\", "C:\KARTOL." and "C:\KARTOL \." are therefore
// C:\KARTOL, while "C:\KARTOL \x" and "C:\KARTOL..\x" lie in folders of those names.
std::vector<std::string_view> NormalComponents(std::string_view belowRoot);

// The full form of an absolute drive path, as GetFullPathNameA gives it without looking at the
// disk: the components joined by "\", with a final "\" when the path ends in a separator or is
// the drive's root ("C:/KARTOL//.\" is "C:\KARTOL\", "C:\KARTOL\.." is "C:\"), or the device's
// path ("\\.\NUL") where the last name is a device's. Nothing for any other path.
std::optional<std::string> FullProgramPath(std::string_view programPath);

}  // namespace posix

#endif
