// What the setup makes in a target directory and how its path divides into levels. Target
// preparation creates them; the uninstaller removes them again.
#ifndef KARTOL_TARGETDIR_TARGET_LAYOUT_H
#define KARTOL_TARGETDIR_TARGET_LAYOUT_H

#include <cstddef>

// The content subdirectories, in the order they are made; the archive's upper-case prefixes
// reach them because the target file system ignores case.
inline constexpr const char* kContentDirs[] = {"klondike", "eis",      "newyork",
                                               "mars",     "tutorial", "res"};

inline constexpr char kLogFileName[] = "deinst.log";
// The setup's temporary files: the payload as stored, and expanded into the archive that is
// unpacked. Each is deleted once its stage is done; an interrupted setup leaves them.
inline constexpr char kStoredPayloadName[] = "kartol.un_";
inline constexpr char kExpandedPayloadName[] = "kartol.un2";

// The drive root is never a level: levels end at positions from 3 on.
inline constexpr std::size_t kFirstLevelEnd = 3;

// Whether the level ending at `position` of a directory path ("C:\SPIELE\KARTOL\") ends there:
// the next character is a backslash. Each level is the path's prefix up to `position`.
inline bool IsPathLevelEnd(const char* dir, std::size_t position) {
    return position >= kFirstLevelEnd && dir[position + 1] == '\\';
}

#endif
