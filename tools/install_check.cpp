#include "install_check.h"

#include <algorithm>
#include <string>

#include "formats/program_names.h"
#include "formats/target_layout.h"
#include "platform/host/codepage.h"

namespace tools {
namespace {

std::string Quoted(std::string_view name) {
    return "\"" + host::Cp1252ToUtf8(name) + "\"";
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
    if (names::DeviceOf(fileName)) {
        return "is a Windows device name";
    }
    if (!names::IsAllowedName(name)) {
        return "holds a character that Windows file names cannot hold";
    }
    if (fileName.find_last_not_of(names::kDroppedAtPathEnd) + 1 != fileName.size()) {
        return "ends in a space or a dot, which Windows drops from a file's name";
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
