// OpenProgramStream for hosts without Windows: the program path goes through the drive map,
// only a regular file is opened, and a text-mode write stream turns every LF into CR LF, as
// the Windows runtime's text mode does, so that "deinst.log" has the same bytes from both
// builds. A file written under a program name ("uninst.exe") becomes executable.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "drive_map.h"
#include "folder_listings.h"
#include "last_error.h"
#include "mapped_stream.h"
#include "platform/platform.h"
#include "program_mode.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// New files get the host's usual permissions; the umask narrows them as for any program.
constexpr mode_t kFileMode = 0666;
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

// Text mode is "t", or no "b" at all, which is the Windows runtime's default.
bool IsTextMode(std::string_view mode) {
    return mode.find('t') != mode.npos || mode.find('b') == mode.npos;
}

// Only streams that write and never read are translated; reading streams pass their bytes
// unchanged, which is all the program needs of them (it reads in binary mode).
bool IsWriteOnly(std::string_view mode) {
    return (mode.starts_with('w') || mode.starts_with('a')) && mode.find('+') == mode.npos;
}

// The host's fdopen knows no "t"; without it the mode means the same there.
std::string HostMode(std::string_view mode) {
    std::string hostMode{mode};
    std::erase(hostMode, 't');
    return hostMode;
}

// The open flags of an fopen mode, or nothing for a mode that fopen does not know.
std::optional<int> OpenFlags(std::string_view mode) {
    const bool update = mode.find('+') != mode.npos;
    switch (mode.empty() ? '\0' : mode.front()) {
        case 'r':
            return update ? O_RDWR : O_RDONLY;
        case 'w':
            return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        case 'a':
            return (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        default:
            return std::nullopt;
    }
}

// Opens the host file as fopen would, but takes nothing that is not a regular file: a FIFO,
// socket, device or directory where the program wants a file fails as a file the host does
// not let us have, ERROR_ACCESS_DENIED, and at once. O_NONBLOCK keeps the open of a FIFO from
// waiting for its other end (a FIFO that nobody reads refuses a writer with ENXIO); on a
// regular file it changes nothing. O_NOCTTY keeps a terminal from becoming ours.
FilePtr OpenRegularFile(const std::filesystem::path& host, const std::string& hostMode) {
    const std::optional<int> flags = OpenFlags(hostMode);
    if (!flags) {
        posix::Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int descriptor =
        open(host.c_str(), *flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, kFileMode);
    if (descriptor == -1) {
        posix::Fail(posix::ErrorFromErrno(errno, host));
        return nullptr;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        posix::Fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if ((*flags & O_CREAT) != 0) {
        posix::NoteEntryMade(host);
        if (posix::IsProgramName(host)) {
            fchmod(descriptor, posix::ProgramMode(status.st_mode));
        }
    }
    FilePtr file{fdopen(descriptor, hostMode.c_str())};
    if (file == nullptr) {
        close(descriptor);
        posix::Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return file;
}

// A stream that only writes, over the real file that it takes over: with the text mode's
// translation, a CR before every LF, and the host's refusal of a write or of the close noted
// with the file's host path, which the program's own check of the result cannot name.
struct WritingStream {
    FilePtr file;
    std::filesystem::path host;
    bool translated;
};

// Called with the stream's buffered bytes: all of them written or, on a short write, none,
// which makes the stream's error indicator stick.
ssize_t WriteThrough(void* cookie, const char* data, std::size_t size) {
    const WritingStream& stream = *static_cast<WritingStream*>(cookie);
    std::string translated;
    std::string_view bytes{data, size};
    if (stream.translated) {
        // At most every byte is an LF that gets its CR.
        translated.reserve(2 * size);
        for (const char c : bytes) {
            if (c == kLineFeed) {
                translated += kCarriageReturn;
            }
            translated += c;
        }
        bytes = translated;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream.file.get()) != bytes.size()) {
        posix::NoteRefusal(errno, stream.host);
        return 0;
    }
    return static_cast<ssize_t>(size);
}

int CloseThrough(void* cookie) {
    const std::unique_ptr<WritingStream> stream{static_cast<WritingStream*>(cookie)};
    if (std::fclose(stream->file.release()) != 0) {
        posix::NoteRefusal(errno, stream->host);
        return EOF;
    }
    return 0;
}

// The stream buffers; the real file does not, so each flush becomes one write.
FILE* WritingStreamOver(FilePtr file, const std::filesystem::path& host, bool translated) {
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    const cookie_io_functions_t functions{
        .read = nullptr, .write = WriteThrough, .seek = nullptr, .close = CloseThrough};
    auto stream = std::make_unique<WritingStream>(std::move(file), host, translated);
    FILE* writing = fopencookie(stream.get(), "w", functions);
    if (writing == nullptr) {
        posix::Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    stream.release();
    return writing;
}

}  // namespace

FILE* posix::OpenMappedStream(std::string_view programPath, const char* mode) {
    const posix::MappedPath mapped = posix::MapProgramPath(programPath);
    if (!mapped) {
        posix::Fail(mapped.error);
        return nullptr;
    }
    const std::string_view programMode = mode != nullptr ? mode : "";
    FilePtr file = OpenRegularFile(mapped.host, HostMode(programMode));
    if (file == nullptr) {
        return nullptr;
    }
    if (IsWriteOnly(programMode)) {
        return WritingStreamOver(std::move(file), mapped.host, IsTextMode(programMode));
    }
    return file.release();
}

FILE* OpenProgramStream(const char* path, const char* mode) {
    const std::string_view programPath = posix::PathArgument(path);
    if (posix::FailsByInjection(posix::Api::OpenProgramStream, programPath)) {
        return nullptr;
    }
    return posix::OpenMappedStream(programPath, mode);
}
