#include "drive_map.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "drive_settings.h"
#include "folder_listings.h"
#include "formats/program_names.h"
#include "path_text.h"
#include "platform/host/codepage.h"

namespace posix {

namespace fs = std::filesystem;

std::optional<std::string> ProgramPathOfHost(const fs::path& host) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        // A folder that is not there holds nothing to be named.
        const std::optional<fs::path> folder = ExistingDriveFolder(letter);
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
