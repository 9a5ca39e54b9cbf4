// How the kernel32 stand-ins report failure: the calling thread's last error, as Win32 keeps
// it, set from the host's errno or from a test's injection.
#ifndef KARTOL_PLATFORM_POSIX_LAST_ERROR_H
#define KARTOL_PLATFORM_POSIX_LAST_ERROR_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/include/win32.h"
#include "platform/posix/kernel32/fault_point.h"

namespace posix {

// Records `error` as the last error and gives FALSE, the result of a failed call.
BOOL Fail(DWORD error);

// The Win32 error code for the errno of a call on the host path `host`. Win32 splits ENOENT
// in two: a missing file when the folder that should hold it exists, else a missing path. A
// refusal of the host (a full disk, no right to the file, a file in use) is also noted.
DWORD ErrorFromErrno(int hostError, const std::filesystem::path& host);

// The boxes of the programs say only that something failed. The first refusal of the host that
// a program met, as "host path: the host's reason", is what the native entry tells the user
// on its way out; a missing file or an existing folder, which the programs ask about as a
// matter of course, is none. Taking it forgets it.
void NoteRefusal(int hostError, const std::filesystem::path& host);
std::optional<std::string> TakeFirstRefusal();

// True, with the injection's error recorded as the last error, when a test made this call of
// `api` with this path argument fail. For the operations that take no chosen answers.
bool FailsByInjection(Api api, std::string_view path);

}  // namespace posix

#endif
