// Whole-file reads and writes for the tools, with errors that name the file.
#ifndef KARTOL_TOOLS_FILE_IO_H
#define KARTOL_TOOLS_FILE_IO_H

#include <cstdint>
#include <filesystem>
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

// Writes through a temporary file beside `path` that is then renamed, so that a failed write
// never leaves a half-written file under the final name. A device or a pipe (/dev/null,
// /dev/stdout) is written in place: a rename would replace it with a plain file. Throws
// std::runtime_error, also for a folder.
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace tools

#endif
