// The directory and file operations of kernel32 over the drive map. Every path is a program
// path; the host only ever sees the mapped one.
#include <unistd.h>

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "drive_map.h"
#include "folder_listings.h"
#include "last_error.h"
#include "path_text.h"
#include "program_mode.h"

namespace {

// New directories get the host's usual permissions; the umask narrows them as for any program.
constexpr mode_t kDirectoryMode = 0777;

// The common course of these operations: the injection seam, the drive map, then one host
// call on the mapped path whose errno becomes the Win32 error; what a call that succeeds made
// or removed is told to the drive map.
template <typename HostCall>
BOOL OnMappedPath(posix::Api api, LPCSTR path, HostCall hostCall,
                  void (*noteChange)(const std::filesystem::path&) = nullptr) {
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
    if (noteChange != nullptr) {
        noteChange(mapped.host);
    }
    return TRUE;
}

// The flags that MoveFileExA follows; it refuses any other.
constexpr DWORD kMoveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED;

// A file that Win32 would call read-only: its owner may not write it.
bool IsReadOnly(const struct stat& status) {
    return (status.st_mode & S_IWUSR) == 0;
}

// Moves a host file as MoveFileExA does, 0 or -1 with errno set: an existing target is
// replaced only with MOVEFILE_REPLACE_EXISTING, and never when it is a folder or read-only;
// across file systems the file is copied and the original deleted, with MOVEFILE_COPY_ALLOWED
// only. A file that gets a program's name becomes a program.
int MoveHostFile(const char* from, const char* to, DWORD flags) {
    struct stat status {};
    if (lstat(to, &status) == 0) {
        if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) {
            errno = EEXIST;
            return -1;
        }
        if (S_ISDIR(status.st_mode) || (!S_ISLNK(status.st_mode) && IsReadOnly(status))) {
            errno = EACCES;
            return -1;
        }
    }
    std::error_code error;
    if (rename(from, to) != 0) {
        // The error of a missing folder is the target's, whatever rename says of it.
        if (errno == ENOENT &&
            !std::filesystem::is_directory(std::filesystem::path{to}.parent_path(), error)) {
            errno = ENOTDIR;
        }
        if (errno != EXDEV || (flags & MOVEFILE_COPY_ALLOWED) == 0) {
            return -1;
        }
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                   error);
        if (error || unlink(from) != 0) {
            errno = error ? error.value() : errno;
            return -1;
        }
    }
    return posix::IsProgramName(to) &&
           (stat(to, &status) != 0 || chmod(to, posix::ProgramMode(status.st_mode)) != 0);
}

}  // namespace

BOOL SetCurrentDirectoryA(LPCSTR path) {
    // chdir changes nothing when it fails, as Win32 leaves the current directory on failure.
    return OnMappedPath(posix::Api::SetCurrentDirectoryA, path,
                        [](const char* host) { return chdir(host); });
}

// A folder is made with the user's rights; chosen security attributes are refused.
BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
    if (security != nullptr) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    // mkdir refuses any existing name, a file's too, and a missing parent, as Win32 does.
    return OnMappedPath(
        posix::Api::CreateDirectoryA, path,
        [](const char* host) { return mkdir(host, kDirectoryMode); }, posix::NoteFolderMade);
}

BOOL DeleteFileA(LPCSTR path) {
    // unlink refuses a directory (EISDIR), which DeleteFileA must not remove either.
    return OnMappedPath(
        posix::Api::DeleteFileA, path, [](const char* host) { return unlink(host); },
        posix::NoteEntryGone);
}

BOOL MoveFileExA(LPCSTR existingPath, LPCSTR newPath, DWORD flags) {
    if ((flags & ~kMoveFlags) != 0) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    const posix::MappedPath target = posix::MapProgramPath(posix::PathArgument(newPath));
    if (!target) {
        return posix::Fail(target.error);
    }
    const BOOL moved = OnMappedPath(
        posix::Api::MoveFileExA, existingPath,
        [&target, flags](const char* host) {
            return MoveHostFile(host, target.host.c_str(), flags);
        },
        posix::NoteEntryGone);
    if (moved) {
        posix::NoteEntryMade(target.host);
    }
    return moved;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    // rmdir refuses a folder that holds anything, and a link, which RemoveDirectoryA on a
    // folder link would only unlink: nothing the uninstaller needs.
    return OnMappedPath(
        posix::Api::RemoveDirectoryA, path, [](const char* host) { return rmdir(host); },
        posix::NoteEntryGone);
}

// The attributes that a program can tell apart here: a folder, a read-only file, another file,
// and a link, which Win32 reports as a reparse point with the attributes of what it leads to (a
// link to a folder is a folder too), or alone when it leads nowhere.
DWORD GetFileAttributesA(LPCSTR path) {
    DWORD attributes = 0;
    const auto look = [&attributes](const char* host) {
        struct stat status {};
        if (lstat(host, &status) != 0) {
            return -1;
        }
        if (S_ISLNK(status.st_mode)) {
            attributes = FILE_ATTRIBUTE_REPARSE_POINT;
            if (stat(host, &status) != 0) {
                return 0;
            }
        }
        attributes |= S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY
                      : IsReadOnly(status)    ? FILE_ATTRIBUTE_READONLY
                                              : 0;
        return 0;
    };
    if (!OnMappedPath(posix::Api::GetFileAttributesA, path, look)) {
        return INVALID_FILE_ATTRIBUTES;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Absolute drive paths only, resolved as text as Win32 does: the setup asks for nothing else,
// and a relative path would need a current folder per drive, which the stand-in does not keep.
DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
    const std::string_view programPath = posix::PathArgument(fileName);
    if (posix::FailsByInjection(posix::Api::GetFullPathNameA, programPath)) {
        return 0;
    }
    const std::optional<std::string> full = posix::FullProgramPath(programPath);
    if (!full) {
        posix::Fail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto length = static_cast<DWORD>(full->size());
    if (length >= bufferLength) {
        // The size needed, terminator included; the buffer is left as it was.
        return length + 1;
    }
    full->copy(buffer, length);
    buffer[length] = '\0';
    if (filePart != nullptr) {
        *filePart = full->back() == '\\' ? nullptr : buffer + full->find_last_of('\\') + 1;
    }
    return length;
}
