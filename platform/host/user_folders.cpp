#include "user_folders.h"

#include <cstdlib>
#include <string_view>

namespace host {
namespace {

std::optional<std::filesystem::path> BaseFolder(const char* variable, std::string_view belowHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && std::filesystem::path{value}.is_absolute()) {
        return std::filesystem::path{value};
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        return std::nullopt;
    }
    return std::filesystem::path{home} / belowHome;
}

}  // namespace

std::optional<std::filesystem::path> UserDataFolder() {
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

std::optional<std::filesystem::path> UserConfigFolder() {
    return BaseFolder("XDG_CONFIG_HOME", ".config");
}

}  // namespace host
