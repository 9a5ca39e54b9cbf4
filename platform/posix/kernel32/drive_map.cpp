#include "drive_map.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "formats/program_names.h"
#include "platform/host/codepage.h"
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
constexpr char kDot = '.';
// The full form of a device's path: "\\.\CON".
constexpr std::string_view kDevicePrefix = "\\\\.\\";

// A relative mapping is taken from the folder the program started in: the setup changes its
// current directory as it walks the target path, and a drive must not move with it.
const fs::path kStartFolder = [] {
    std::error_code error;
    return fs::current_path(error);
}();

bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A drive's letter as the environment and the drive settings name it: upper case.
char DriveLetter(char letter) {
    return static_cast<char>(names::Cp1252ToUpper(static_cast<unsigned char>(letter)));
}

// "X:\" or "X:/" and anything after it.
bool IsAbsoluteDrivePath(std::string_view programPath) {
    return programPath.size() >= names::kDriveRootLength && IsAsciiLetter(programPath[0]) &&
           programPath[1] == ':' && names::IsPathSeparator(programPath[2]);
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

// Win32 looks for a device's name in the path as it was written: "C:\NUL\." is no device.
std::string_view LastName(std::string_view programPath) {
    return programPath.substr(programPath.find_last_of(names::kPathSeparators) + 1);
}

// The components below the drive root, resolved as text the way the program's file system
// resolves them before it looks at the disk: "." and ".." are taken away, a single dot that
// ends a component before a separator is dropped, and so is every space and dot at the end of
// the whole path. "C:\KARTOL.\", "C:\KARTOL." and "C:\KARTOL \." are therefore C:\KARTOL,
// while "C:\KARTOL \x" and "C:\KARTOL..\x" lie in folders of those names, as on Windows.
std::vector<std::string_view> NormalComponents(std::string_view belowRoot) {
    const bool endsInSeparator = !belowRoot.empty() && names::IsPathSeparator(belowRoot.back());
    std::vector<std::string_view> components;
    while (!belowRoot.empty()) {
        const auto end = std::ranges::find_if(belowRoot, names::IsPathSeparator);
        std::string_view component{belowRoot.begin(), end};
        belowRoot.remove_prefix(component.size() + (end == belowRoot.end() ? 0 : 1));
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
            continue;
        }
        // "." is such a dot too, and nothing is left of it.
        if (component.ends_with(kDot) && !component.ends_with("..")) {
            component.remove_suffix(1);
        }
        if (!component.empty()) {
            components.push_back(component);
        }
    }
    if (!endsInSeparator && !components.empty()) {
        std::string_view& last = components.back();
        last = last.substr(0, last.find_last_not_of(names::kDroppedAtPathEnd) + 1);
        if (last.empty()) {
            components.pop_back();
        }
    }
    return components;
}

// A name as the case-blind comparison sees it: code page 1252, upper case.
std::string Folded(std::string_view name) {
    std::string folded{name};
    for (char& c : folded) {
        c = static_cast<char>(names::Cp1252ToUpper(static_cast<unsigned char>(c)));
    }
    return folded;
}

// What a folder held when it was last read: its entries by folded name, and the folder's
// modification time then. The time is as coarse as the file system's clock, so a listing read
// while it was recent may miss a change made in the same tick: such a listing is not settled
// and is read again at its next use. The program's own changes keep a listing true
// (NoteEntryMade, NoteEntryGone), and a folder it made itself starts as a settled empty one.
struct FolderListing {
    timespec modified{};
    bool settled = false;
    std::unordered_map<std::string, std::set<fs::path>> byFolded;
};

// How far a folder's modification time must lie behind the reading of its listing.
constexpr std::chrono::milliseconds kSettleTime{50};

std::unordered_map<std::string, FolderListing>& Listings() {
    static std::unordered_map<std::string, FolderListing> listings;
    return listings;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::chrono::nanoseconds Since(const timespec& time) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::chrono::seconds{now.tv_sec - time.tv_sec} +
           std::chrono::nanoseconds{now.tv_nsec - time.tv_nsec};
}

std::set<fs::path>& NamesFoldedAs(FolderListing& listing, const fs::path& name) {
    return listing.byFolded[Folded(host::Utf8ToCp1252(name.string()))];
}

// The folder's listing, read again unless the one kept is settled and the folder unchanged;
// null when the folder cannot be read.
const FolderListing* CurrentListing(const fs::path& folder) {
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0) {
        Listings().erase(folder.native());
        return nullptr;
    }
    FolderListing& listing = Listings()[folder.native()];
    if (listing.settled && SameTime(listing.modified, status.st_mtim)) {
        return &listing;
    }
    listing.byFolded.clear();
    std::error_code error;
    for (fs::directory_iterator entry{folder, error}; !error && entry != fs::directory_iterator{};
         entry.increment(error)) {
        NamesFoldedAs(listing, entry->path().filename()).insert(entry->path().filename());
    }
    listing.modified = status.st_mtim;
    listing.settled = !error && Since(status.st_mtim) > kSettleTime;
    return &listing;
}

// The host entry in `folder` that a program name reaches: the name itself when it exists,
// else an entry equal without regard to case (the first in order when the host holds several),
// else nothing. A settled listing answers alone; without one, a name that exists as written
// needs no listing at all.
std::optional<fs::path> FindEntry(const fs::path& folder, std::string_view name,
                                  const std::string& hostName) {
    const auto kept = Listings().find(folder.native());
    if (kept == Listings().end() || !kept->second.settled) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(folder / hostName, error))) {
            return fs::path{hostName};
        }
    }
    const FolderListing* listing = CurrentListing(folder);
    if (listing == nullptr) {
        return std::nullopt;
    }
    const auto found = listing->byFolded.find(Folded(name));
    if (found == listing->byFolded.end()) {
        return std::nullopt;
    }
    const std::set<fs::path>& alike = found->second;
    return alike.contains(hostName) ? fs::path{hostName} : *alike.begin();
}

// Brings the listing of the entry's folder up to the program's own change, with the folder's
// new time; a listing that is not settled stays so and is read again at its next use.
void NoteChange(const fs::path& entry, bool made) {
    const auto found = Listings().find(entry.parent_path().native());
    if (found == Listings().end()) {
        return;
    }
    FolderListing& listing = found->second;
    struct stat status {};
    if (stat(entry.parent_path().c_str(), &status) != 0) {
        Listings().erase(found);
        return;
    }
    const fs::path name = entry.filename();
    std::set<fs::path>& alike = NamesFoldedAs(listing, name);
    if (made) {
        alike.insert(name);
    } else if (alike.erase(name) != 0 && alike.empty()) {
        listing.byFolded.erase(Folded(host::Utf8ToCp1252(name.string())));
    }
    listing.modified = status.st_mtim;
}

}  // namespace

std::string DriveVariable(char letter) {
    return std::string{kDriveVariablePrefix} + DriveLetter(letter);
}

void NoteEntryMade(const fs::path& entry) {
    NoteChange(entry, true);
}

void NoteFolderMade(const fs::path& folder) {
    NoteChange(folder, true);
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        Listings()[folder.native()] = {status.st_mtim, true, {}};
    }
}

// A folder that is gone takes its listing with it.
void NoteEntryGone(const fs::path& entry) {
    NoteChange(entry, false);
    Listings().erase(entry.native());
}

namespace {

// The folder of a drive letter; C:'s default folder is made when `make` says so.
std::optional<fs::path> FolderOfDrive(char letter, bool make) {
    if (!IsAsciiLetter(letter)) {
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

std::optional<fs::path> DriveFolder(char letter) {
    return FolderOfDrive(letter, true);
}

void ForgetDriveSettings() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        unsetenv(DriveVariable(letter).c_str());
    }
}

std::optional<std::string> FullProgramPath(std::string_view programPath) {
    if (!IsAbsoluteDrivePath(programPath)) {
        return std::nullopt;
    }
    if (const std::optional<std::string_view> device = names::DeviceOf(LastName(programPath))) {
        return std::string{kDevicePrefix} + std::string{*device};
    }
    const std::vector<std::string_view> components =
        NormalComponents(programPath.substr(names::kDriveRootLength));
    std::string full{programPath.substr(0, names::kDriveRootLength - 1)};
    for (std::string_view component : components) {
        full += '\\';
        full += component;
    }
    if (components.empty() || names::IsPathSeparator(programPath.back())) {
        full += '\\';
    }
    return full;
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
        if (line.size() > 2 && IsAsciiLetter(line[0]) && line[1] == kSettingSeparator &&
            fs::path{line.substr(2)}.is_absolute()) {
            setenv(DriveVariable(line[0]).c_str(), std::string{line.substr(2)}.c_str(), 1);
        }
    }
}

std::optional<std::string> ProgramPathOfHost(const fs::path& host) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        // A folder that is not there holds nothing to be named.
        const std::optional<fs::path> folder = FolderOfDrive(letter, false);
        if (!folder) {
            continue;
        }
        std::error_code error;
        for (const fs::path& root : {folder->lexically_normal(), fs::canonical(*folder, error)}) {
            const auto [rootEnd, hostAt] = std::ranges::mismatch(root, host);
            if (root.empty() || rootEnd != root.end()) {
                continue;
            }
            std::string programPath = {letter, ':'};
            for (auto component = hostAt; component != host.end(); ++component) {
                programPath += '\\' + host::Utf8ToCp1252(component->string());
            }
            // The root itself: "Z:" is the drive's root, "Z:\".
            return hostAt == host.end() ? programPath + '\\' : programPath;
        }
    }
    return std::nullopt;
}

MappedPath MapProgramPath(std::string_view programPath) {
    if (!IsAbsoluteDrivePath(programPath)) {
        return {{}, ERROR_PATH_NOT_FOUND};
    }
    const std::vector<std::string_view> components =
        NormalComponents(programPath.substr(names::kDriveRootLength));
    if (!std::ranges::all_of(components, names::IsAllowedName) ||
        names::DeviceOf(LastName(programPath))) {
        return {{}, ERROR_INVALID_NAME};
    }
    std::optional<fs::path> host = DriveFolder(programPath[0]);
    if (!host) {
        return {{}, ERROR_PATH_NOT_FOUND};
    }
    // Below a name that does not exist nothing exists either: the rest is taken as written.
    bool existing = true;
    for (std::string_view component : components) {
        const std::string hostName = host::Cp1252ToUtf8(component);
        std::optional<fs::path> entry;
        if (existing) {
            entry = FindEntry(*host, component, hostName);
            existing = entry.has_value();
        }
        *host /= entry.value_or(fs::path{hostName});
    }
    return {std::move(*host), ERROR_SUCCESS};
}

}  // namespace posix
