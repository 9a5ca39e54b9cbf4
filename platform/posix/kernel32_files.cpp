// The directory and file operations of kernel32 over the drive map. Every path is a program
// path; the host only ever sees the mapped one.
#include <unistd.h>

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>

#include "drive_map.h"
#include "last_error.h"
#include "program_mode.h"

namespace {

// New directories get the host's usual permissions; the umask narrows them as for any program.
constexpr mode_t kDirectoryMode = 0777;

// The common course of these operations: the injection seam, the drive map, then one host
// call on the mapped path whose errno becomes the Win32 error.
template <typename HostCall>
BOOL OnMappedPath(posix::Api api, LPCSTR path, HostCall hostCall) {
    const std::string_view programPath = posix::PathArgument(path);
    if (posix::FailsByInjection(api, programPath)) {
        return FALSE;
    }
    const posix::MappedPath mapped = posix::MapProgramPath(programPath);
    if (!mapped) {
        return posix::Fail(mapped.error);
    }
    if (hostCall(mapped.host.c_str()) != 0) {
        return posix::Fail(posix::ErrorFromErrno(errno, mapped.host));
    }
    return TRUE;
}

}  // namespace

BOOL SetCurrentDirectoryA(LPCSTR path) {
    // chdir changes nothing when it fails, as Win32 leaves the current directory on failure.
    return OnMappedPath(posix::Api::SetCurrentDirectoryA, path,
                        [](const char* host) { return chdir(host); });
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    // mkdir refuses any existing name, a file's too, and a missing parent, as Win32 does.
    return OnMappedPath(posix::Api::CreateDirectoryA, path,
                        [](const char* host) { return mkdir(host, kDirectoryMode); });
}

BOOL DeleteFileA(LPCSTR path) {
    // unlink refuses a directory (EISDIR), which DeleteFileA must not remove either.
    return OnMappedPath(posix::Api::DeleteFileA, path,
                        [](const char* host) { return unlink(host); });
}

// The setup only ever moves a file onto one that may exist, which rename does in one step;
// moving a folder or keeping an existing file is not asked for. A file that gets a program's
// name becomes a program.
BOOL MoveFileExA(LPCSTR existingPath, LPCSTR newPath, DWORD) {
    const posix::MappedPath target = posix::MapProgramPath(posix::PathArgument(newPath));
    if (!target) {
        return posix::Fail(target.error);
    }
    // Each host call gives 0 on success, so the first that fails ends the chain, with its errno.
    return OnMappedPath(posix::Api::MoveFileExA, existingPath, [&target](const char* host) {
        const char* const to = target.host.c_str();
        struct stat status {};
        return rename(host, to) || stat(to, &status) ||
               (posix::IsProgramName(target.host) && chmod(to, posix::ProgramMode(status.st_mode)));
    });
}

BOOL RemoveDirectoryA(LPCSTR path) {
    // rmdir refuses a folder that holds anything, and a link, which RemoveDirectoryA on a
    // folder link would only unlink: nothing the uninstaller needs.
    return OnMappedPath(posix::Api::RemoveDirectoryA, path,
                        [](const char* host) { return rmdir(host); });
}

// The attributes that a program can tell apart here: a folder, a link (a reparse point; what
// it leads to is not looked at, as the uninstaller leaves every link alone), or a file. The
// last component is not followed, so a link is seen as the link.
DWORD GetFileAttributesA(LPCSTR path) {
    struct stat status {};
    if (!OnMappedPath(posix::Api::GetFileAttributesA, path,
                      [&status](const char* host) { return lstat(host, &status); })) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISLNK(status.st_mode)   ? FILE_ATTRIBUTE_REPARSE_POINT
           : S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                                     : FILE_ATTRIBUTE_NORMAL;
}
