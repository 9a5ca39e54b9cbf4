// Program paths ("C:\KARTOL\deinst.log") on the host's file system: the drive letter names a
// host folder (drive_settings.h), the path's text is resolved as Win32 resolves it
// (path_text.h), and below the drive every component is looked up without regard to case, as
// the program's file system does (folder_listings.h); new names are created as written.
#ifndef KARTOL_PLATFORM_POSIX_DRIVE_MAP_H
#define KARTOL_PLATFORM_POSIX_DRIVE_MAP_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/include/win32.h"

namespace posix {

// The program path of a host path on one of this process's drives, first letter first ("Z:"
// at the latest); a drive's folder is taken as it is named, then as its links lead.
std::optional<std::string> ProgramPathOfHost(const std::filesystem::path& host);

// Where a program path lies on the host, or the Win32 error code of a path that cannot be
// mapped: ERROR_PATH_NOT_FOUND for anything but an absolute drive path and for a drive that
// does not exist, ERROR_INVALID_NAME for a component with a character the program's file
// system refuses (control characters and " * : < > ? |) and for a path whose last name is a
// device's (CON, PRN, AUX, NUL, COM1-9, LPT1-9, also "nul.txt"): the host has no such devices.
struct MappedPath {
    std::filesystem::path host;
    DWORD error = ERROR_SUCCESS;

    explicit operator bool() const { return error == ERROR_SUCCESS; }
};

// The components as NormalComponents gives them, code page 1252, become UTF-8 host names. An
// existing entry is matched without regard to case (an exact match wins); a missing one is used
// as written, and so is everything below it. The result always lies inside the drive's folder.
MappedPath MapProgramPath(std::string_view programPath);

// The path argument of a Win32 call as text; null is the empty path, which maps nowhere.
inline std::string_view PathArgument(LPCSTR path) {
    return path != nullptr ? path : "";
}

}  // namespace posix

#endif
