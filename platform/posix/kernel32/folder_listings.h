// The case-blind lookup of names in host folders, as the program's file system matches them,
// and the listings of folders that it keeps while they are unchanged; the program's own
// operations tell it what they made or removed, by host path.
#ifndef KARTOL_PLATFORM_POSIX_FOLDER_LISTINGS_H
#define KARTOL_PLATFORM_POSIX_FOLDER_LISTINGS_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace posix {

// The host entry in `folder` that a program name (code page 1252; `hostName` is its UTF-8
// form) reaches: the name itself when it exists, else an entry equal without regard to case
// (the first in order when the host holds several), else nothing. A settled listing answers
// alone; without one, a name that exists as written needs no listing at all.
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& folder,
                                               std::string_view name, const std::string& hostName);

void NoteEntryMade(const std::filesystem::path& entry);
void NoteFolderMade(const std::filesystem::path& folder);
void NoteEntryGone(const std::filesystem::path& entry);

}  // namespace posix

#endif
