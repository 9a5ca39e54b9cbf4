#include "last_error.h"

#include <cerrno>

namespace {

// Per thread, as in Win32, so that a call on one thread cannot overwrite another's error.
thread_local DWORD lastError = ERROR_SUCCESS;

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

DWORD ErrorFromErrno(int hostError, const std::filesystem::path& host) {
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
