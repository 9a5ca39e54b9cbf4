// The per-user folders of the XDG base directory convention, shared by the drive map and the
// program manager server: $XDG_DATA_HOME (~/.local/share) and $XDG_CONFIG_HOME (~/.config).
// A relative setting is ignored, as the convention asks.
#ifndef KARTOL_PLATFORM_POSIX_USER_FOLDERS_H
#define KARTOL_PLATFORM_POSIX_USER_FOLDERS_H

#include <filesystem>
#include <optional>

namespace posix {

// Nothing when neither the variable nor HOME gives a folder.
std::optional<std::filesystem::path> UserDataFolder();
std::optional<std::filesystem::path> UserConfigFolder();

}  // namespace posix

#endif
