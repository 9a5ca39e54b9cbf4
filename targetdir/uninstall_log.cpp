#include "uninstall_log.h"

#include <string_view>

#include "formats/target_layout.h"
#include "formats/uninstall_log_format.h"
#include "platform/platform.h"
#include "state/process_state.h"

void KeepEarlierLevelFlags() {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kLogFileName);
    FILE* const earlier = OpenProgramStream(PathBuffer, "rb");
    if (earlier == nullptr) {
        return;
    }
    char text[kMaxLevelLineSize];
    const std::string_view start{text, std::fread(text, 1, sizeof text, earlier)};
    std::fclose(earlier);
    std::int32_t earlierFlags[kMaxPathLevels];
    const std::size_t end = start.find(kLogLineEnd);
    if (end == std::string_view::npos ||
        !ParseLevelLine(start.substr(0, end), {earlierFlags, std::size_t(PathLevelCount)})) {
        return;
    }
    for (int level = 0; level < PathLevelCount; ++level) {
        PathLevelFlags[level] |= earlierFlags[level];
    }
}

int OpenUninstallLog() {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kLogFileName);
    // Text mode: every "\n" reaches the file as CR LF, which the uninstaller expects.
    UninstallLog = OpenProgramStream(PathBuffer, "wt");
    return UninstallLog != nullptr;
}

void WriteLogLevelLine(int levelCount, const std::int32_t* levelFlags) {
    std::fprintf(UninstallLog, kLevelCountFormat, levelCount);
    for (int level = 0; level < levelCount; ++level) {
        std::fprintf(UninstallLog, kLevelFlagFormat, static_cast<int>(levelFlags[level]));
    }
    std::fputs(kLineFeed, UninstallLog);
    std::fflush(UninstallLog);
}

// Called only once the entry's file is written and closed; the line goes to disk at once, so
// that a setup killed later still leaves a log that names every file it wrote and no other.
void WriteLogFileLine(const char* entryName) {
    std::fprintf(UninstallLog, kFileLineFormat, entryName);
    std::fflush(UninstallLog);
}
