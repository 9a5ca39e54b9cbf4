#include "self_removal.h"

#include <cstdio>
#include <string_view>

namespace {

// The copy's command line: its own path, this marker, the starting process's id and the
// folder. Users start the uninstaller without arguments; only the handover passes these.
constexpr std::string_view kHandOverMarker = "/weiter";
// How long the copy waits for the first process to end; it ends right after starting the
// copy.
constexpr DWORD kEndWaitMilliseconds = 30000;

std::string TemporaryCopyPath() {
    char temporaryFolder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temporaryFolder, temporaryFolder);
    if (length == 0 || length >= sizeof temporaryFolder) {
        return {};
    }
    char name[MAX_PATH + 64];
    std::snprintf(name, sizeof name, "%skartol-deinst-%lu.exe", temporaryFolder,
                  static_cast<unsigned long>(GetCurrentProcessId()));
    return name;
}

}  // namespace

bool HandOverToCopy(const std::string& folder) {
    char program[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    const std::string copy = TemporaryCopyPath();
    if (length == 0 || length >= sizeof program || copy.empty() ||
        !CopyFileA(program, copy.c_str(), FALSE)) {
        return false;
    }
    // The folder is quoted and ends in a backslash: "C:\KARTOL\"" would escape the quote for
    // the runtime's argument parsing, so the trailing backslash is left off here.
    std::string commandLine = "\"" + copy + "\" " + std::string(kHandOverMarker) + " " +
                              std::to_string(GetCurrentProcessId()) + " \"" +
                              folder.substr(0, folder.size() - 1) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The copy starts in the temporary folder, so no process holds the product's folder.
    const std::string copyFolder = copy.substr(0, copy.find_last_of('\\') + 1);
    if (!CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        copyFolder.c_str(), &startup, &process)) {
        DeleteFileA(copy.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::optional<std::string> HandedOverFolder(LPSTR commandLine) {
    const std::string_view arguments = commandLine != nullptr ? commandLine : "";
    if (!arguments.starts_with(kHandOverMarker)) {
        return std::nullopt;
    }
    unsigned long starter = 0;
    int consumed = 0;
    if (std::sscanf(commandLine + kHandOverMarker.size(), " %lu \"%n", &starter, &consumed) != 1 ||
        consumed == 0) {
        return std::nullopt;
    }
    std::string_view folder = arguments.substr(kHandOverMarker.size() + consumed);
    if (!folder.ends_with('"')) {
        return std::nullopt;
    }
    folder.remove_suffix(1);
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, starter)) {
        WaitForSingleObject(process, kEndWaitMilliseconds);
        CloseHandle(process);
    }
    return std::string{folder} + '\\';
}

void RemoveOwnFileLater() {
    char program[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    if (length != 0 && length < sizeof program) {
        MoveFileExA(program, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}
