// GetWindowsDirectoryA: the native host has no Windows directory, so the call answers the
// usual one on drive C:. Nothing in the setup uses the text; it only asks whether there is one.
// GetModuleFileNameA: the running program as a program path on the drive that holds it.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "drive_map.h"
#include "last_error.h"
#include "platform/host/codepage.h"

namespace {

constexpr char kWindowsDirectory[] = "C:\\WINDOWS";
constexpr UINT kWindowsDirectoryLength = sizeof kWindowsDirectory - 1;
constexpr char kRunningProgram[] = "/proc/self/exe";

// The path that the program was started by, made absolute from the folder it started in
// without following a link: as Windows names a program by the path it was started from, a
// folder of the drive that links to another place keeps the program on its drive. Empty when
// a bare name was looked up in PATH.
const std::filesystem::path kStartedAs = [] {
    std::ifstream arguments{"/proc/self/cmdline", std::ios::binary};
    std::string first;
    std::getline(arguments, first, '\0');
    std::error_code error;
    const std::filesystem::path startFolder = std::filesystem::current_path(error);
    return first.find('/') == std::string::npos || error ? std::filesystem::path{}
                                                         : (startFolder / first).lexically_normal();
}();

// The running program's program path: by the path it was started by where that is the
// running program and lies on a drive, else by the program's own file.
std::optional<std::string> RunningProgramPath() {
    std::error_code error;
    if (!kStartedAs.empty() && std::filesystem::equivalent(kStartedAs, kRunningProgram, error)) {
        if (std::optional<std::string> programPath = posix::ProgramPathOfHost(kStartedAs)) {
            return programPath;
        }
    }
    const std::filesystem::path host = std::filesystem::canonical(kRunningProgram, error);
    return error ? std::nullopt : posix::ProgramPathOfHost(host);
}

}  // namespace

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    if (const posix::Injection* injection =
            posix::FindInjection(posix::Api::GetWindowsDirectoryA)) {
        if (injection->answer.empty()) {
            posix::Fail(injection->error);
            return 0;
        }
        return static_cast<UINT>(injection->answer.front());
    }
    // As Win32: the length without the terminator when the text fits, else the size needed
    // with the terminator, and then the buffer is left alone.
    if (buffer == nullptr || size <= kWindowsDirectoryLength) {
        return kWindowsDirectoryLength + 1;
    }
    std::memcpy(buffer, kWindowsDirectory, sizeof kWindowsDirectory);
    return kWindowsDirectoryLength;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size) {
    if (posix::FailsByInjection(posix::Api::GetModuleFileNameA, {})) {
        return 0;
    }
    const std::optional<std::string> programPath = RunningProgramPath();
    if (!programPath) {
        posix::Fail(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        posix::Fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // As Win32: a path that does not fit is cut to the buffer, terminator included, and the
    // call returns the buffer's size.
    const DWORD length = static_cast<DWORD>(std::min<std::size_t>(programPath->size(), size - 1));
    std::memcpy(buffer, programPath->data(), length);
    buffer[length] = '\0';
    if (length < programPath->size()) {
        posix::Fail(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return length;
}
