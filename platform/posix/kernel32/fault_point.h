// Where the stand-ins ask whether a test wants a call to fail or to answer chosen values. Every
// operation that can fail asks FindInjection first. The table of injections lives in the
// fault-injection library, which only the tests link: it installs itself as the source of
// injections, and without it every call does its real work.
#ifndef KARTOL_PLATFORM_POSIX_KERNEL32_FAULT_POINT_H
#define KARTOL_PLATFORM_POSIX_KERNEL32_FAULT_POINT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/include/win32.h"

namespace posix {

enum class Api {
    RegisterClassA,
    CreateWindowExA,
    DialogBoxParamW,
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
    DdeGetData,
    DdeFreeDataHandle,
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

// The injection that applies to this call, or null. `path` is the call's path argument, if
// it has one.
const Injection* FindInjection(Api api, std::string_view path = {});

// What FindInjection asks; null (no injections) until the fault-injection library installs
// its table.
using InjectionSource = const Injection* (*)(Api api, std::string_view path);
void SetInjectionSource(InjectionSource source);

}  // namespace posix

#endif
