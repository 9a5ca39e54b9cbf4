// What "deinst.log" says about an installation, read back by the uninstaller, and by a setup
// that installs again into the same folder: which levels of the folder's path the setup
// created and which files it wrote. The log is taken only when every line is as the setup
// writes it, so a damaged log removes nothing.
#ifndef KARTOL_FORMATS_INSTALL_RECORD_H
#define KARTOL_FORMATS_INSTALL_RECORD_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// No setup writes a log larger than this: 300 entries of names under 128 bytes and a first
// line of 120 levels.
inline constexpr std::size_t kMaxLogSize = 64 * 1024;

// Every line of the log ends so: the setup writes it through a text stream.
inline constexpr std::string_view kLogLineEnd = "\r\n";

struct InstallRecord {
    // One flag per level of the folder's path below the drive the setup named it on, shortest
    // first: true when the setup made it. They stand for the deepest levels of the path.
    std::vector<bool> levelCreated;
    // The written files, relative to the folder, as the archive named them.
    std::vector<std::string> files;
};

struct ParsedLog {
    std::optional<InstallRecord> record;
    // The first line that is not as the setup writes it (1-based), when there is no record.
    int badLine = 0;
};

// Reads the log's bytes for a folder whose path has `levelCount` levels. Every line ends in CR
// LF. Line 1 is the level count, at most `levelCount`, and that many flags 0 or 1,
// separated by single spaces; every further line is "NC " and a name that stays inside the
// folder.
ParsedLog ParseInstallLog(std::string_view text, std::size_t levelCount);

// Line 1 alone, without its end, for `flags.size()` levels: true, with each level's flag (1 made
// by the setup, 0 found) in `flags`, when the line is as the setup writes it.
bool ParseLevelLine(std::string_view line, std::span<std::int32_t> flags);

#endif
