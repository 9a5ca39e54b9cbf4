// The directory and file operations of kernel32 over the drive map. Every path is a program
// path; the host only ever sees the mapped one.
#include <unistd.h>

#include <sys/stat.h>
#include <cerrno>

#include "drive_map.h"
#include "last_error.h"

namespace {

// New directories get the host's usual permissions; the umask narrows them as for any program.
constexpr mode_t kDirectoryMode = 0777;

}  // namespace

BOOL SetCurrentDirectoryA(LPCSTR path) {
    const std::string_view programPath = posix::PathArgument(path);
    if (posix::FailsByInjection(posix::Api::SetCurrentDirectoryA, programPath)) {
        return FALSE;
    }
    const posix::MappedPath mapped = posix::MapProgramPath(programPath);
    if (!mapped) {
        return posix::Fail(mapped.error);
    }
    // chdir changes nothing when it fails, as Win32 leaves the current directory on failure.
    if (chdir(mapped.host.c_str()) != 0) {
        return posix::Fail(posix::ErrorFromErrno(errno, mapped.host));
    }
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    const std::string_view programPath = posix::PathArgument(path);
    if (posix::FailsByInjection(posix::Api::CreateDirectoryA, programPath)) {
        return FALSE;
    }
    const posix::MappedPath mapped = posix::MapProgramPath(programPath);
    if (!mapped) {
        return posix::Fail(mapped.error);
    }
    // mkdir refuses any existing name, a file's too, and a missing parent, as Win32 does.
    if (mkdir(mapped.host.c_str(), kDirectoryMode) != 0) {
        return posix::Fail(posix::ErrorFromErrno(errno, mapped.host));
    }
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    const std::string_view programPath = posix::PathArgument(path);
    if (posix::FailsByInjection(posix::Api::DeleteFileA, programPath)) {
        return FALSE;
    }
    const posix::MappedPath mapped = posix::MapProgramPath(programPath);
    if (!mapped) {
        return posix::Fail(mapped.error);
    }
    // unlink refuses a directory (EISDIR), which DeleteFileA must not remove either.
    if (unlink(mapped.host.c_str()) != 0) {
        return posix::Fail(posix::ErrorFromErrno(errno, mapped.host));
    }
    return TRUE;
}
