// GetWindowsDirectoryA: the native host has no Windows directory, so the call answers the
// usual one on drive C:. Nothing in the setup uses the text; it only asks whether there is one.
#include <cstring>

#include "last_error.h"

namespace {

constexpr char kWindowsDirectory[] = "C:\\WINDOWS";
constexpr UINT kWindowsDirectoryLength = sizeof kWindowsDirectory - 1;

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
