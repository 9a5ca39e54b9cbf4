// The per-user folders of the XDG base directory convention, shared by the drive map and the
// program manager server: $XDG_DATA_HOME (~/.local/share) and $XDG_CONFIG_HOME (~/.config).
// A relative setting is ignored, as the convention asks.
#ifndef KARTOL_PLATFORM_HOST_USER_FOLDERS_H
#define KARTOL_PLATFORM_HOST_USER_FOLDERS_H

#include <filesystem>
#include <optional>
#include <string_view>

namespace host {

// The product's name among the user's folders and files: its folder in the data and config
// folders, and the first part of the program manager's socket and of the menus' file names.
inline constexpr std::string_view kHostProductName = "vemo-kartol";

// Nothing when neither the variable nor HOME gives a folder.
std::optional<std::filesystem::path> UserDataFolder();
std::optional<std::filesystem::path> UserConfigFolder();

}  // namespace host

#endif
