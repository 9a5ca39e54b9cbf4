#include "uninstall_log.h"

#include <string_view>

#include "formats/install_record.h"
#include "platform/platform.h"
#include "state/process_state.h"
#include "formats/target_layout.h"

void KeepEarlierLevelFlags() {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kLogFileName);
    FILE* const earlier = OpenProgramStream(PathBuffer, "rb");
    if (earlier == nullptr) {
        return;
    }
    // Longer than any first line: 243 characters for the most levels, and its end.
    char text[kPathBufferSize];
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
    std::fprintf(UninstallLog, "%d", levelCount);
    for (int level = 0; level < levelCount; ++level) {
        std::fprintf(UninstallLog, " %d", static_cast<int>(levelFlags[level]));
    }
    std::fputs("\n", UninstallLog);
    std::fflush(UninstallLog);
}

// Called only once the entry's file is written and closed; the line goes to disk at once, so
// that a setup killed later still leaves a log that names every file it wrote and no other.
void WriteLogFileLine(const char* entryName) {
    std::fprintf(UninstallLog, "NC %s\n", entryName);
    std::fflush(UninstallLog);
}
