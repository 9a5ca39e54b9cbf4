#include "install_check.h"

#include <algorithm>
#include <array>
#include <string>

#include "formats/program_names.h"
#include "platform/host/codepage.h"
#include "state/target_layout.h"

namespace tools {
namespace {

// Names that Windows opens as devices, with any extension, wherever they stand in a path.
constexpr std::array<std::string_view, 4> kDevices{"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDevices{"COM", "LPT"};
// Besides the separators and ':', which leave the folder anyway.
constexpr std::string_view kForbiddenChars = "<>\"|?*";

std::string Quoted(std::string_view name) {
    return "\"" + posix::Cp1252ToUtf8(name) + "\"";
}

bool IsDevice(std::string_view fileName) {
    std::string_view base = fileName.substr(0, fileName.find('.'));
    base = base.substr(0, base.find_last_not_of(' ') + 1);
    const auto same = [base](std::string_view device) {
        return names::SameIgnoringCase(base, device);
    };
    if (std::ranges::any_of(kDevices, same)) {
        return true;
    }
    return base.size() == 4 && base[3] >= '1' && base[3] <= '9' &&
           std::ranges::any_of(kNumberedDevices, [base](std::string_view device) {
               return names::SameIgnoringCase(base.substr(0, 3), device);
           });
}

bool IsContentDir(std::string_view folder) {
    return std::ranges::any_of(
        kContentDirs, [folder](const char* dir) { return names::SameIgnoringCase(folder, dir); });
}

std::string ContentDirList() {
    std::string list;
    for (std::size_t i = 0; i < std::size(kContentDirs); ++i) {
        list += i == 0 ? "" : i + 1 == std::size(kContentDirs) ? " and " : ", ";
        list += kContentDirs[i];
    }
    return list;
}

bool IsTopLevel(const archive::Entry& entry, std::string_view file) {
    return names::SameIgnoringCase(entry.name, file);
}

}  // namespace

std::string EntryInstallProblem(std::string_view name) {
    if (std::string problem = archive::NameProblem(name); !problem.empty()) {
        return problem;
    }
    const std::size_t separator = name.find_first_of(names::kPathSeparators);
    const std::string_view fileName = separator == name.npos ? name : name.substr(separator + 1);
    if (fileName.find_first_of(names::kPathSeparators) != fileName.npos) {
        return "lies more than one folder deep; the setup makes only its six content folders";
    }
    if (separator != name.npos && !IsContentDir(name.substr(0, separator))) {
        return "lies in folder " + Quoted(name.substr(0, separator)) +
               ", which the setup does not make; it makes " + ContentDirList();
    }
    if (separator == name.npos && IsSetupFileName(name)) {
        return "is a file that the setup keeps for itself in the target folder";
    }
    if (IsDevice(fileName)) {
        return "is a Windows device name";
    }
    if (const auto bad = std::ranges::find_if(name,
                                              [](char c) {
                                                  return static_cast<unsigned char>(c) < 0x20 ||
                                                         kForbiddenChars.find(c) !=
                                                             kForbiddenChars.npos;
                                              });
        bad != name.end()) {
        return "holds a character that Windows file names cannot hold";
    }
    return {};
}

InstallCheck CheckInstallable(std::span<const archive::Entry> entries, std::uint64_t archiveSize) {
    InstallCheck check;
    std::uint64_t unpacked = archiveSize;
    for (const archive::Entry& entry : entries) {
        if (const std::string problem = EntryInstallProblem(entry.name); !problem.empty()) {
            check.errors.push_back("entry " + Quoted(entry.name) + " " + problem);
        }
        unpacked += entry.size;
    }
    for (const char* file : {kProductFile, kUninstallerFile}) {
        if (std::ranges::none_of(
                entries, [file](const archive::Entry& entry) { return IsTopLevel(entry, file); })) {
            check.errors.push_back(std::string{"no entry \""} + file +
                                   "\" at the top level; the program group starts it");
        }
    }
    if (unpacked > kRequiredFreeBytes) {
        check.warnings.push_back("unpacking takes " + std::to_string(unpacked) +
                                 " bytes (the archive and its files), more than the " +
                                 std::to_string(kRequiredFreeBytes) +
                                 " free bytes the setup asks of the drive");
    }
    return check;
}

}  // namespace tools
