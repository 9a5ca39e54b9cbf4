#include "last_error.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace {

// Per thread, as in Win32, so that a call on one thread cannot overwrite another's error.
thread_local DWORD lastError = ERROR_SUCCESS;

std::optional<std::string> firstRefusal;

bool IsRefusal(int hostError) {
    switch (hostError) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
        case EACCES:
        case EPERM:
        case EROFS:
        case EBUSY:
        case ETXTBSY:
        case EIO:
            return true;
        default:
            return false;
    }
}

}  // namespace

DWORD GetLastError() {
    return lastError;
}

void SetLastError(DWORD error) {
    lastError = error;
}

namespace posix {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

void NoteRefusal(int hostError, const std::filesystem::path& host) {
    if (!firstRefusal && IsRefusal(hostError)) {
        firstRefusal = host.string() + ": " + std::strerror(hostError);
    }
}

std::optional<std::string> TakeFirstRefusal() {
    return std::exchange(firstRefusal, std::nullopt);
}

DWORD ErrorFromErrno(int hostError, const std::filesystem::path& host) {
    NoteRefusal(hostError, host);
    switch (hostError) {
        case ENOENT: {
            std::error_code error;
            return std::filesystem::is_directory(host.parent_path(), error) ? ERROR_FILE_NOT_FOUND
                                                                            : ERROR_PATH_NOT_FOUND;
        }
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EXDEV:
            return ERROR_NOT_SAME_DEVICE;
        case ENAMETOOLONG:
        case EILSEQ:
            return ERROR_INVALID_NAME;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            // EACCES, EPERM, EROFS, EISDIR, EBUSY and the rest: the host will not let us.
            return ERROR_ACCESS_DENIED;
    }
}

bool FailsByInjection(Api api, std::string_view path) {
    const Injection* injection = FindInjection(api, path);
    if (injection == nullptr) {
        return false;
    }
    SetLastError(injection->error);
    return true;
}

}  // namespace posix
