#include "drive_settings.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "formats/program_names.h"
#include "path_text.h"
#include "platform/host/user_folders.h"

namespace posix {
namespace {

namespace fs = std::filesystem;

// The environment variable that maps a letter is this prefix followed by the upper-case letter.
constexpr std::string_view kDriveVariablePrefix = "KARTOL_DRIVE_";
constexpr char kDefaultDrive = 'C';
// In the product's folder of the user's data folder.
constexpr std::string_view kDefaultDriveFolder = "drive_c";
// A line of the drive settings that a program hands the program manager: the letter, this,
// the folder.
constexpr char kSettingSeparator = '=';
// The drive of the whole host unless the environment sets it, so that every host path lies on
// a drive and a program started from anywhere can name its own folder.
constexpr char kRootDrive = 'Z';

// A relative mapping is taken from the folder the program started in: the setup changes its
// current directory as it walks the target path, and a drive must not move with it.
const fs::path kStartFolder = [] {
    std::error_code error;
    return fs::current_path(error);
}();

// A drive's letter as the environment and the drive settings name it: upper case.
char DriveLetter(char letter) {
    return static_cast<char>(names::Cp1252ToUpper(static_cast<unsigned char>(letter)));
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

std::optional<fs::path> DefaultDriveFolder() {
    std::optional<fs::path> data = host::UserDataFolder();
    return data ? std::optional{*data / host::kHostProductName / kDefaultDriveFolder}
                : std::nullopt;
}

// The folder that the environment maps a letter to, made absolute from the start folder. An
// empty setting counts as none, as in the shell's ${VAR:-default}.
std::optional<fs::path> EnvironmentFolder(char letter) {
    const char* mapped = std::getenv(DriveVariable(letter).c_str());
    if (mapped == nullptr || *mapped == '\0') {
        return std::nullopt;
    }
    return (kStartFolder / mapped).lexically_normal();
}

// The folder of a drive letter; C:'s default folder is made when `make` says so.
std::optional<fs::path> FolderOfDrive(char letter, bool make) {
    if (!IsDriveLetter(letter)) {
        return std::nullopt;
    }
    if (const std::optional<fs::path> folder = EnvironmentFolder(letter)) {
        return IsFolder(*folder) ? folder : std::nullopt;
    }
    if (DriveLetter(letter) == kRootDrive) {
        return fs::path{"/"};
    }
    if (DriveLetter(letter) != kDefaultDrive) {
        return std::nullopt;
    }
    std::optional<fs::path> folder = DefaultDriveFolder();
    if (!folder) {
        return std::nullopt;
    }
    if (make) {
        std::error_code error;
        fs::create_directories(*folder, error);
    }
    return IsFolder(*folder) ? folder : std::nullopt;
}

}  // namespace

std::string DriveVariable(char letter) {
    return std::string{kDriveVariablePrefix} + DriveLetter(letter);
}

std::optional<fs::path> DriveFolder(char letter) {
    return FolderOfDrive(letter, true);
}

std::optional<fs::path> ExistingDriveFolder(char letter) {
    return FolderOfDrive(letter, false);
}

void ForgetDriveSettings() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        unsetenv(DriveVariable(letter).c_str());
    }
}

std::string DriveSettings() {
    std::string settings;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::optional<fs::path> folder = EnvironmentFolder(letter);
        if (folder && IsFolder(*folder) && folder->native().find('\n') == std::string::npos) {
            settings += std::string{letter, kSettingSeparator} + folder->native() + '\n';
        }
    }
    return settings;
}

void TakeDriveSettings(std::string_view settings) {
    ForgetDriveSettings();
    while (!settings.empty()) {
        const std::string_view line = settings.substr(0, settings.find('\n'));
        settings.remove_prefix(std::min(settings.size(), line.size() + 1));
        if (line.size() > 2 && IsDriveLetter(line[0]) && line[1] == kSettingSeparator &&
            fs::path{line.substr(2)}.is_absolute()) {
            setenv(DriveVariable(line[0]).c_str(), std::string{line.substr(2)}.c_str(), 1);
        }
    }
}

}  // namespace posix
