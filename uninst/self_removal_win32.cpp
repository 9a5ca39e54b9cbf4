#include "self_removal.h"

#include <cstdio>
#include <string_view>

#include "platform/system_folder_win32.h"

namespace {

// The copy's command line: its own path, this marker, the starting process's id and the
// folder. Users start the uninstaller without arguments; only the handover passes these.
constexpr std::string_view kHandOverMarker = "/weiter";
// How long the copy waits for the first process to end; it ends right after starting the
// copy.
constexpr DWORD kEndWaitMilliseconds = 30000;

constexpr std::string_view kCopyExtension = ".exe";
constexpr char kScriptExtension[] = ".cmd";
// Deletes the copy (named twice below) once it has ended, trying once a second for two minutes,
// then itself; "exit" on the same line ends the interpreter before it reads the deleted file
// again. Names relative to the script's own folder (%~dp0) keep the file ASCII, whatever the
// temporary folder's name: the interpreter reads it in the console's code page. ping waits the
// second; by full path, since a bare name would be looked for in the current folder first.
constexpr char kRemovalScript[] =
    "@echo off\n"
    "set tries=0\n"
    ":again\n"
    "del \"%%~dp0%s\" >nul 2>&1\n"
    "if not exist \"%%~dp0%s\" goto done\n"
    "set /a tries+=1\n"
    "if %%tries%% geq 120 goto done\n"
    "\"%%SystemRoot%%\\system32\\ping.exe\" -n 2 127.0.0.1 >nul\n"
    "goto again\n"
    ":done\n"
    "del \"%%~f0\" & exit\n";

std::string TemporaryCopyPath() {
    char temporaryFolder[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temporaryFolder, temporaryFolder);
    if (length == 0 || length >= sizeof temporaryFolder) {
        return {};
    }
    char name[MAX_PATH + 64];
    std::snprintf(name, sizeof name, "%skartol-deinst-%lu%s", temporaryFolder,
                  static_cast<unsigned long>(GetCurrentProcessId()), kCopyExtension.data());
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

void RemoveOwnFileAfterExit() {
    char program[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    const std::string_view path{program, length < sizeof program ? length : 0};
    const std::size_t slash = path.find_last_of('\\');
    const std::string interpreter = SystemFilePath("cmd.exe");
    if (slash == std::string_view::npos || !path.ends_with(kCopyExtension) || interpreter.empty()) {
        return;
    }
    const std::string script =
        std::string{path.substr(0, path.size() - kCopyExtension.size())} + kScriptExtension;
    FILE* stream = std::fopen(script.c_str(), "w");
    if (stream == nullptr) {
        return;
    }
    const std::string name{path.substr(slash + 1)};
    const bool written = std::fprintf(stream, kRemovalScript, name.c_str(), name.c_str()) > 0;
    if (std::fclose(stream) != 0 || !written) {
        DeleteFileA(script.c_str());
        return;
    }
    // /d: no AutoRun commands of the user's; the outer quotes are cmd's own for /c.
    std::string commandLine = "cmd.exe /d /q /c \"\"" + script + "\"\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const std::string folder{path.substr(0, slash + 1)};
    if (!CreateProcessA(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup, &process)) {
        DeleteFileA(script.c_str());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
