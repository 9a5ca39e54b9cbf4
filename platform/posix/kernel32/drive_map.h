// Program paths ("C:\KARTOL\deinst.log") on the host's file system. Each drive letter stands
// for a host folder: KARTOL_DRIVE_<LETTER>=<folder> maps one for a process and the programs it
// starts, and no program changes another's drives. Without a setting, C: is the per-user folder
// "${XDG_DATA_HOME:-$HOME/.local/share}/vemo-kartol/drive_c" and Z: is the host's root "/", so
// that every host path lies on a drive; any other letter with no folder behind it is a drive
// that does not exist. Below the drive, every component is looked
// up without regard to case, as the program's file system does, and new names are created as
// written. docs/drives.md describes the setting for users.
//
#ifndef KARTOL_PLATFORM_POSIX_DRIVE_MAP_H
#define KARTOL_PLATFORM_POSIX_DRIVE_MAP_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/include/win32.h"

namespace posix {

// The environment variable that maps a drive letter (either case): KARTOL_DRIVE_C for c.
std::string DriveVariable(char letter);

// The host folder of a drive letter (either case), or nothing when the drive does not exist:
// not a letter, no mapping, or a mapping to something that is not a folder. The default
// folder of C: is created here the first time it is asked for.
std::optional<std::filesystem::path> DriveFolder(char letter);

// Removes every drive setting of this process's environment, so that from now on the drive
// map file alone decides, for this process and the programs it starts.
void ForgetDriveSettings();

// This process's drive settings as lines "C=/home/user/spiele", for the program manager, which
// resolves each conversation's program paths with its client's drives.
std::string DriveSettings();

// Makes such lines this process's drive settings, in place of those it had.
void TakeDriveSettings(std::string_view settings);

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

// Both "\" and "/" separate components; empty components and "." are skipped, and ".." goes
// up one component but never above the drive's folder, so the result always lies inside it.
// As in Win32, a component loses a single final dot before a separator, and the path loses
// every space and dot at its end. Components are code page 1252 and become UTF-8 host names. An
// existing entry is matched without regard to case (an exact match wins); a missing one is used as
// written.
MappedPath MapProgramPath(std::string_view programPath);

// The mapping keeps what it has read of each folder while the folder is unchanged; the
// program's own operations tell it what they made or removed there, by its host path.
void NoteEntryMade(const std::filesystem::path& entry);
void NoteFolderMade(const std::filesystem::path& folder);
void NoteEntryGone(const std::filesystem::path& entry);

// The full form of an absolute drive path, as GetFullPathNameA gives it without looking at the
// disk: the components as MapProgramPath resolves them, joined by "\", with a final "\" when the
// path ends in a separator or is the drive's root ("C:/KARTOL//.\" is "C:\KARTOL\",
// "C:\KARTOL\.." is "C:\"), or the device's path ("\\.\NUL") where the last name is a
// device's. Nothing for any other path.
std::optional<std::string> FullProgramPath(std::string_view programPath);

// The path argument of a Win32 call as text; null is the empty path, which maps nowhere.
inline std::string_view PathArgument(LPCSTR path) {
    return path != nullptr ? path : "";
}

}  // namespace posix

#endif
