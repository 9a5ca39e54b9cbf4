// File reads and writes for the tools, with errors that name the file: inputs that are regular
// files, outputs that appear whole under their names or not at all, and folders made for them.
#ifndef KARTOL_TOOLS_FILE_IO_H
#define KARTOL_TOOLS_FILE_IO_H

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace tools {

// A regular file read from the start in pieces. A folder, a pipe or a device is refused: the
// commands record or check a file's size before they read it, a pipe can be read only once
// and may never end, and a device such as /dev/null would pass for an empty file. Throws
// std::runtime_error, naming the path and the reason, when the file cannot be opened or read.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path);

    std::uintmax_t Size() const { return size_; }
    // The device and inode: another path to the same file, a link, has the same.
    std::pair<dev_t, ino_t> Id() const { return id_; }

    // Fills the front of `buffer`: how many bytes, fewer only at the end of the file.
    std::size_t Read(std::span<std::uint8_t> buffer);
    // Fills all of `bytes`; throws when the file ends first.
    void ReadExactly(std::span<std::uint8_t> bytes);
    // The whole file, when nothing has been read from it yet.
    std::vector<std::uint8_t> ReadAll();

  private:
    std::filesystem::path path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
    std::uintmax_t size_ = 0;
    std::pair<dev_t, ino_t> id_;
};

// The whole file, as InputFile reads it.
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// The files that a command reads, kept so that it never writes over one of them.
class Inputs {
  public:
    InputFile Open(const std::filesystem::path& path);
    std::vector<std::uint8_t> Read(const std::filesystem::path& path);

    // Throws std::runtime_error, naming both, when `output` is one of the files read, also
    // through a link or under another name.
    void RefuseAsOutput(const std::filesystem::path& output) const;

  private:
    std::vector<std::pair<std::pair<dev_t, ino_t>, std::filesystem::path>> read_;
};

// A file written in pieces through a new temporary file beside `path` that Commit renames, so
// that a failed write never leaves a half-written file under the final name, and never writes
// through a file or link that lay there; without Commit the temporary file goes again. A
// device or a pipe (/dev/null, /dev/stdout) is written in place: a rename would replace it
// with a plain file. Throws std::runtime_error, naming `path` (never the temporary file) and
// the reason, also for a folder and for a folder to write in that is missing or closed.
class OutputFile {
  public:
    explicit OutputFile(const std::filesystem::path& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    void Write(std::span<const std::uint8_t> bytes);
    // Writes out what is buffered and closes the file, still under its temporary name.
    void Close();
    // Closes the file if still open and gives it its name.
    void Commit();

  private:
    [[noreturn]] void Fail() const;

    std::filesystem::path path_;
    std::filesystem::path written_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// The whole of `bytes` as an OutputFile.
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Folders made for a set of files. Unless kept, those made go again, when empty, so that a
// set that fails part-way leaves the folders as they were.
class NewFolders {
  public:
    NewFolders() = default;
    NewFolders(const NewFolders&) = delete;
    NewFolders& operator=(const NewFolders&) = delete;
    ~NewFolders();

    // Makes `folder` and the folders above it that are missing. Throws std::runtime_error,
    // naming the folder and the reason.
    void Make(const std::filesystem::path& folder);
    void Keep() { made_.clear(); }

  private:
    std::vector<std::filesystem::path> made_;
};

}  // namespace tools

#endif
