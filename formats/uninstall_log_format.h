// The uninstall log "deinst.log": what it says about an installation, which levels of the
// folder's path the setup created and which files it wrote. The setup writes its lines with the
// formats below through a text stream, which ends each in CR LF; the uninstaller, and a setup
// that installs again into the same folder, read them back. The log is taken only when every
// line is as the setup writes it, so a damaged log removes nothing.
#ifndef KARTOL_FORMATS_UNINSTALL_LOG_FORMAT_H
#define KARTOL_FORMATS_UNINSTALL_LOG_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "payload_archive.h"
#include "target_layout.h"

// Line 1, the levels: their count, then a flag per level, 1 made by the setup or 0 found.
inline constexpr char kLevelCountFormat[] = "%d";
inline constexpr char kLevelFlagFormat[] = " %d";
// Each further line: a written file, named as the archive stores it.
inline constexpr char kFileLineFormat[] = "NC %s\n";
// The length of a format's text before its first conversion.
constexpr std::size_t TextBeforeConversion(const char* format) {
    std::size_t length = 0;
    while (format[length] != '%') {
        ++length;
    }
    return length;
}
// The text before the name in a file line.
inline constexpr std::string_view kFileLinePrefix{kFileLineFormat,
                                                  TextBeforeConversion(kFileLineFormat)};
// What the setup writes to end line 1, and what the text stream makes of every "\n".
inline constexpr char kLineFeed[] = "\n";
inline constexpr std::string_view kLogLineEnd = "\r\n";

// The longest lines a setup writes: line 1 with the most levels (a count of at most three
// digits), and a file line with the longest name an archive holds.
inline constexpr std::size_t kMaxLevelLineSize =
    3 + (sizeof " 1" - 1) * kMaxPathLevels + kLogLineEnd.size();
inline constexpr std::size_t kMaxFileLineSize =
    kFileLinePrefix.size() + (archive::kNameFieldSize - 1) + kLogLineEnd.size();
static_assert(kMaxPathLevels < 1000);
// No setup writes a larger log: line 1 and a line per entry of the largest archive.
inline constexpr std::size_t kMaxLogSize =
    kMaxLevelLineSize + archive::kMaxEntries * kMaxFileLineSize;

struct UninstallLogContents {
    // One flag per level of the folder's path below the drive the setup named it on, shortest
    // first: true when the setup made it. They stand for the deepest levels of the path.
    std::vector<bool> levelCreated;
    // The written files, relative to the folder, as the archive named them.
    std::vector<std::string> files;
};

struct ParsedLog {
    std::optional<UninstallLogContents> record;
    // The first line that is not as the setup writes it (1-based), when there is no record.
    int badLine = 0;
};

// Reads the log's bytes for a folder whose path has `levelCount` levels. Every line ends in CR
// LF. Line 1 is the level count, at most `levelCount`, and that many flags 0 or 1,
// separated by single spaces; every further line is "NC " and a name that stays inside the
// folder.
ParsedLog ParseUninstallLog(std::string_view text, std::size_t levelCount);

// Line 1 alone, without its end, for `flags.size()` levels: true, with each level's flag (1 made
// by the setup, 0 found) in `flags`, when the line is as the setup writes it.
bool ParseLevelLine(std::string_view line, std::span<std::int32_t> flags);

#endif
