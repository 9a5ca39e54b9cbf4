// Whole-file reads and writes for the tools, with errors that name the file.
#ifndef KARTOL_TOOLS_FILE_IO_H
#define KARTOL_TOOLS_FILE_IO_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace tools {

// The size of the file at `path`. Throws std::runtime_error, naming the path and the reason,
// when it is missing or no regular file (a folder, a device).
std::uintmax_t RegularFileSize(const std::filesystem::path& path);

// Reads the first bytes.size() bytes of the file into `bytes`. Throws std::runtime_error when
// the file cannot be read or holds fewer.
void ReadInto(const std::filesystem::path& path, std::span<std::uint8_t> bytes);

// The whole file. Throws std::runtime_error as the two above.
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// A file read from the start in pieces. Throws std::runtime_error, naming the path and the
// reason, when it cannot be opened or read or is no regular file.
class InputFile {
  public:
    explicit InputFile(const std::filesystem::path& path);
    // Fills the front of `buffer`: how many bytes, fewer only at the end of the file.
    std::size_t Read(std::span<std::uint8_t> buffer);

  private:
    std::filesystem::path path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

// A file written in pieces through a temporary file beside `path` that Commit renames, so that
// a failed write never leaves a half-written file under the final name; without Commit the
// temporary file goes again. A device or a pipe (/dev/null, /dev/stdout) is written in place:
// a rename would replace it with a plain file. Throws std::runtime_error, also for a folder.
class OutputFile {
  public:
    explicit OutputFile(const std::filesystem::path& path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    void Write(std::span<const std::uint8_t> bytes);
    void Commit();

  private:
    std::filesystem::path path_;
    std::filesystem::path target_;
    std::FILE* file_ = nullptr;
};

// The whole of `bytes` as an OutputFile.
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace tools

#endif
