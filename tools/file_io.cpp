#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace tools {
namespace {

std::runtime_error FileError(const char* what, const fs::path& path) {
    return std::runtime_error(std::string{what} + " " + path.string() + ": " +
                              std::strerror(errno));
}

// What a file that is not a regular one is, for the message that refuses it.
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    return S_ISFIFO(mode) ? "a pipe" : "a device";
}

// A new file beside `path`, with a name that nothing has: never a file or a link that lay
// there, which would be written through. The descriptor, or -1 with errno set.
int CreateBeside(const fs::path& path, fs::path& created) {
    for (unsigned attempt = 0;; ++attempt) {
        created = path;
        created += "." + std::to_string(attempt) + ".part";
        const int descriptor = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) {
            return descriptor;
        }
    }
}

// Why no file can be made in the folder of `path`, from the errno of the attempt.
std::runtime_error FolderError(const fs::path& path) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path{"."};
    return std::runtime_error("cannot write " + path.string() + ": " +
                              (errno == ENOENT
                                   ? "there is no folder " + folder.string()
                                   : "folder " + folder.string() + ": " + std::strerror(errno)));
}

}  // namespace

InputFile::InputFile(const fs::path& path) : path_(path), file_(nullptr, std::fclose) {
    // Opened without waiting, so that a pipe with no writer is refused rather than waited on.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        throw FileError("cannot open", path);
    }
    file_.reset(fdopen(descriptor, "rb"));
    if (!file_) {
        close(descriptor);
        throw FileError("cannot open", path);
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        throw FileError("cannot read", path);
    }
    if (!S_ISREG(status.st_mode)) {
        throw std::runtime_error("cannot read " + path.string() + ": " + KindOf(status.st_mode) +
                                 ", not a regular file");
    }
    size_ = static_cast<std::uintmax_t>(status.st_size);
    id_ = {status.st_dev, status.st_ino};
}

std::size_t InputFile::Read(std::span<std::uint8_t> buffer) {
    const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), file_.get());
    if (std::ferror(file_.get()) != 0) {
        throw FileError("cannot read", path_);
    }
    return read;
}

void InputFile::ReadExactly(std::span<std::uint8_t> bytes) {
    const std::size_t read = Read(bytes);
    if (read != bytes.size()) {
        throw std::runtime_error("cannot read " + path_.string() + ": it ended after " +
                                 std::to_string(read) + " of " + std::to_string(bytes.size()) +
                                 " bytes");
    }
}

std::vector<std::uint8_t> InputFile::ReadAll() {
    std::vector<std::uint8_t> bytes(size_);
    ReadExactly(bytes);
    return bytes;
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    return InputFile{path}.ReadAll();
}

InputFile Inputs::Open(const fs::path& path) {
    InputFile in{path};
    read_.emplace_back(in.Id(), path);
    return in;
}

std::vector<std::uint8_t> Inputs::Read(const fs::path& path) {
    return Open(path).ReadAll();
}

void Inputs::RefuseAsOutput(const fs::path& output) const {
    struct stat status {};
    if (stat(output.c_str(), &status) != 0) {
        return;
    }
    for (const auto& [id, input] : read_) {
        if (id == std::pair{status.st_dev, status.st_ino}) {
            throw std::runtime_error("cannot write " + output.string() + ": it is the input " +
                                     input.string() + ", which is never written over");
        }
    }
}

OutputFile::OutputFile(const fs::path& path) : path_(path), written_(path) {
    struct stat status {};
    const bool exists = stat(path.c_str(), &status) == 0;
    if (exists && S_ISDIR(status.st_mode)) {
        errno = EISDIR;
        Fail();
    }
    if (exists && !S_ISREG(status.st_mode)) {
        file_ = std::fopen(path.c_str(), "wb");
        if (file_ == nullptr) {
            Fail();
        }
        return;
    }
    const int descriptor = CreateBeside(path, written_);
    if (descriptor < 0) {
        throw FolderError(path);
    }
    file_ = fdopen(descriptor, "wb");
    if (file_ == nullptr) {
        close(descriptor);
        Fail();
    }
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
    if (!committed_ && written_ != path_) {
        std::error_code ignored;
        fs::remove(written_, ignored);
    }
}

void OutputFile::Fail() const {
    throw FileError("cannot write", path_);
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        Fail();
    }
}

void OutputFile::Close() {
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        Fail();
    }
}

void OutputFile::Commit() {
    if (file_ != nullptr) {
        Close();
    }
    if (written_ != path_ && std::rename(written_.c_str(), path_.c_str()) != 0) {
        Fail();
    }
    committed_ = true;
}

void WriteFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    OutputFile out{path};
    out.Write(bytes);
    out.Commit();
}

NewFolders::~NewFolders() {
    for (auto folder = made_.rbegin(); folder != made_.rend(); ++folder) {
        std::error_code ignored;
        fs::remove(*folder, ignored);
    }
}

void NewFolders::Make(const fs::path& folder) {
    std::vector<fs::path> missing;
    std::error_code ignored;
    for (fs::path at = folder; !at.empty() && !fs::exists(fs::symlink_status(at, ignored));
         at = at.parent_path()) {
        missing.push_back(at);
    }
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
        std::error_code error;
        if (fs::create_directory(*at, error)) {
            made_.push_back(*at);
        } else if (error) {
            throw std::runtime_error("cannot make folder " + at->string() + ": " + error.message());
        }
    }
}

}  // namespace tools
