// The one seam through which tests make a platform operation fail or answer chosen values.
// Every operation of the stand-in layer that can fail asks it first; with nothing injected
// the operations do their real work.
#ifndef KARTOL_PLATFORM_POSIX_FAULT_INJECTION_H
#define KARTOL_PLATFORM_POSIX_FAULT_INJECTION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win32.h"

namespace posix {

enum class Api {
    RegisterClassA,
    CreateWindowExA,
    DialogBoxParamA,
    GetDiskFreeSpaceA,
    GetVolumeInformationA,
    GetWindowsDirectoryA,
    SetCurrentDirectoryA,
    CreateDirectoryA,
    DeleteFileA,
    MoveFileExA,
    RemoveDirectoryA,
    GetFileAttributesA,
    GetFullPathNameA,
    GetModuleFileNameA,
    OpenProgramStream,
    FindResourceA,
    LoadResource,
    SizeofResource,
    LZOpenFileA,
    LZCopy,
    DdeInitializeA,
    DdeCreateStringHandleA,
    DdeFreeStringHandle,
    DdeConnect,
    DdeClientTransaction,
    DdeDisconnect,
    DdeUninitialize,
};

struct Injection {
    // Only calls whose path argument names this program path (compared without regard to
    // case) are affected; empty affects every call of the operation.
    std::string path;
    // Empty: the call fails as the operation fails (0 or null) and sets `error`. Otherwise
    // the call succeeds with these values instead of asking the host:
    //   GetDiskFreeSpaceA: sectors per cluster, bytes per sector, free clusters, total clusters
    //   GetVolumeInformationA: the file system flags
    //   GetWindowsDirectoryA: the length it returns
    //   SizeofResource: a size, used when it is smaller than the resource
    std::vector<std::uint64_t> answer;
    DWORD error = ERROR_ACCESS_DENIED;
    // Only the occurrence-th call that the injection matches, counted from 1 since it was
    // made, is affected; 0 affects every one.
    std::size_t occurrence = 0;
    // FindResourceA: the resource is found, holding these bytes instead of its own (a payload
    // made to order). Empty: the call fails as above.
    std::vector<std::byte> data{};
};

void Inject(Api api, Injection injection);
void ClearInjections();

// The injection that applies to this call, or null. `path` is the call's path argument, if
// it has one.
const Injection* FindInjection(Api api, std::string_view path = {});

// Every operation asks FindInjection first, so the seam also sees the order of the calls.
// While recording is on it keeps each operation it is asked about; StartRecording empties the
// record, ClearInjections ends recording.
void StartRecording();
std::vector<Api> RecordedCalls();

}  // namespace posix

#endif
