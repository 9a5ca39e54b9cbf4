// Files that other programs read while they change: the program manager's menu files. A
// file is replaced as a whole, never seen in part.
#ifndef KARTOL_PLATFORM_HOST_ATOMIC_FILE_H
#define KARTOL_PLATFORM_HOST_ATOMIC_FILE_H

#include <filesystem>
#include <string_view>

namespace host {

// What a temporary file's name adds to the file it stands in for, before the writer's process
// id: "vemo-kartol-X.menu.tmp-1234".
inline constexpr std::string_view kTemporaryInfix = ".tmp-";

// Replaces file with text at once: the text goes to a temporary file beside it, which is then
// renamed over it, so a reader sees the old file or the new one and never a part.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text);

// Removes the temporary files in folder whose names start with namePrefix that a writer left
// when it died before the rename: those of processes that no longer run. Files of a living
// writer are its work in progress.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view namePrefix);

}  // namespace host

#endif
