// The drives of a process. Each drive letter stands for a host folder: KARTOL_DRIVE_<LETTER>=
// <folder> maps one for a process and the programs it starts, and no program changes another's
// drives. Without a setting, C: is the per-user folder
// "${XDG_DATA_HOME:-$HOME/.local/share}/vemo-kartol/drive_c" and Z: is the host's root "/", so
// that every host path lies on a drive; any other letter with no folder behind it is a drive
// that does not exist. docs/drives.md describes the setting for users.
#ifndef KARTOL_PLATFORM_POSIX_DRIVE_SETTINGS_H
#define KARTOL_PLATFORM_POSIX_DRIVE_SETTINGS_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace posix {

// The environment variable that maps a drive letter (either case): KARTOL_DRIVE_C for c.
std::string DriveVariable(char letter);

// The host folder of a drive letter (either case), or nothing when the drive does not exist:
// not a letter, no mapping, or a mapping to something that is not a folder. The default
// folder of C: is created here the first time it is asked for.
std::optional<std::filesystem::path> DriveFolder(char letter);

// The same without creating C:'s default folder: a folder that is not there holds nothing.
std::optional<std::filesystem::path> ExistingDriveFolder(char letter);

// Removes every drive setting of this process's environment, so that from now on the
// defaults alone decide, for this process and the programs it starts.
void ForgetDriveSettings();

// This process's drive settings as lines "C=/home/user/spiele", for the program manager, which
// resolves each conversation's program paths with its client's drives.
std::string DriveSettings();

// Makes such lines this process's drive settings, in place of those it had.
void TakeDriveSettings(std::string_view settings);

}  // namespace posix

#endif
