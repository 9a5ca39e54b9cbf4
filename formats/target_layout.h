// What the setup makes in a target directory, how long its path may be and how it divides into
// levels. Target preparation creates them; the uninstaller removes them again; the program
// manager's client and the payload tool size and check by them.
#ifndef KARTOL_FORMATS_TARGET_LAYOUT_H
#define KARTOL_FORMATS_TARGET_LAYOUT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/program_names.h"

// The path dialog delivers at most 299 characters and a terminator.
inline constexpr int kInstallDirInputCount = 300;
// Target preparation may append a backslash to a 299-character entry: room for 300
// characters and the terminator.
inline constexpr std::size_t kInstallDirSize = kInstallDirInputCount + 1;
// The most levels of a target directory that a setup records.
inline constexpr std::size_t kMaxPathLevels = 120;

// The content subdirectories, in the order they are made; the archive's upper-case prefixes
// reach them because the target file system ignores case.
inline constexpr const char* kContentDirs[] = {"klondike", "eis",      "newyork",
                                               "mars",     "tutorial", "res"};

// The free bytes that target preparation asks of the drive before it makes anything.
inline constexpr std::uint64_t kRequiredFreeBytes = 15000ULL * 1024;

// The product's program and its uninstaller, which the program group's items start: every
// payload carries both at the top of the target directory.
inline constexpr char kProductFile[] = "kartol.exe";
inline constexpr char kUninstallerFile[] = "uninst.exe";

inline constexpr char kLogFileName[] = "deinst.log";
// The setup's temporary files: the payload as stored, and expanded into the archive that is
// unpacked. Each is deleted once its stage is done; an interrupted setup leaves them.
inline constexpr char kStoredPayloadName[] = "kartol.un_";
inline constexpr char kExpandedPayloadName[] = "kartol.un2";
// Each entry is written under this name and moved to its own once it is whole, so that a setup
// ended at any moment leaves no entry cut short under the entry's name.
inline constexpr char kEntryTempName[] = "kartol.un3";
inline constexpr const char* kSetupTemporaries[] = {kStoredPayloadName, kExpandedPayloadName,
                                                    kEntryTempName};

// Whether an entry's name would land on one of the setup's own files in the target directory:
// compared as the target file system does, without regard to case and to dots and spaces at
// the end.
inline bool IsSetupFileName(std::string_view name) {
    name = name.substr(0, name.find_last_not_of(". ") + 1);
    const auto same = [name](std::string_view own) { return names::SameIgnoringCase(name, own); };
    return same(kLogFileName) || std::ranges::any_of(kSetupTemporaries, same);
}

// The drive root is never a level: levels end at positions from 3 ("C:\X") on.
inline constexpr std::size_t kFirstLevelEnd = names::kDriveRootLength;

// Whether the level ending at `position` of a directory path ("C:\SPIELE\KARTOL\") ends there:
// the next character is a backslash. Each level is the path's prefix up to `position`.
inline bool IsPathLevelEnd(const char* dir, std::size_t position) {
    return position >= kFirstLevelEnd && dir[position + 1] == '\\';
}

#endif
