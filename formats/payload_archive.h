// The payload archive: a 23-byte header ("Quillmark Bit ResFile", 0x1A, 0x00), a signed 32-bit
// entry count, that many 136-byte directory records (a NUL-terminated name in 128 bytes, a
// 32-bit offset from the start of the file, a 32-bit size) and the entries' bytes. Integers
// are little-endian; nothing is aligned.
//
// What is wrong with an archive, a record or a name is said as a text, the problem, which is
// empty when there is none.
//
// The writer lays the data out as the setup program's archives are built: contiguous, in
// directory order, right behind the directory. The parser holds an archive to everything the
// setup's reader and unpacking stage check, with the same tests, so that a file it accepts
// installs.
#ifndef KARTOL_FORMATS_PAYLOAD_ARCHIVE_H
#define KARTOL_FORMATS_PAYLOAD_ARCHIVE_H

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace archive {

inline constexpr std::string_view kMagicText = "Quillmark Bit ResFile";
inline constexpr std::uint8_t kEndOfText = 0x1A;
inline constexpr std::size_t kHeaderSize = 23;
// The setup's reader compares only this many bytes of the magic.
inline constexpr std::size_t kTestedMagicSize = 7;
inline constexpr std::size_t kCountSize = 4;
inline constexpr std::size_t kDirectoryOffset = kHeaderSize + kCountSize;
inline constexpr std::size_t kNameFieldSize = 128;
inline constexpr std::size_t kRecordSize = kNameFieldSize + 4 + 4;
// Offsets are used as signed 32-bit stream positions.
inline constexpr std::uint32_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
// The setup's directory table holds this many records.
inline constexpr std::size_t kMaxEntries = 300;
// Where the longest directory the setup reads ends: the bytes that parsing looks at.
inline constexpr std::size_t kMaxDirectoryEnd = kDirectoryOffset + kMaxEntries * kRecordSize;

struct Entry {
    std::string name;  // code page 1252, "\" between a directory and the file name
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

struct NamedBytes {
    std::string name;
    std::span<const std::uint8_t> bytes;
};

// Whether a stored name stays inside the folder it is unpacked into: not empty, not absolute,
// no drive, no component made only of dots and spaces ("..", and what Windows trims to it).
// "\" and "/" both separate components, as on Windows.
bool IsContainedName(std::string_view name);

// Whether `bytes` begin with the part of the magic that the setup's reader tests.
bool HasTestedMagic(std::span<const std::uint8_t> bytes);

// Why the setup refuses a directory record, or empty when it can install it: the name field
// (all its bytes) holds no terminator, the name leaves the target folder, or the entry's
// bytes are not all in a file of `fileSize` bytes at an offset a stream position reaches.
std::string_view EntryProblem(std::span<const char, kNameFieldSize> nameField, std::uint32_t offset,
                              std::uint32_t size, std::uint64_t fileSize);

// Why a name cannot be stored in an archive ("is longer than 127 bytes"), or empty when it can.
std::string NameProblem(std::string_view name);

struct Built {
    std::vector<std::uint8_t> file;
    // A name that NameProblem refuses, more than 300 entries, or data beyond what 32-bit
    // offsets reach; then there is no file.
    std::string problem;

    explicit operator bool() const { return problem.empty(); }
};

// The archive of `entries` in this order.
Built Build(std::span<const NamedBytes> entries);

struct Parsed {
    // Every record that the directory holds, damaged ones included, and for each the reason
    // the setup would refuse it, or an empty text.
    std::vector<Entry> entries;
    std::vector<std::string> problems;
    // What concerns the file as a whole: a header, count or directory cut short, too many
    // entries; or an empty text.
    std::string fileProblem;
    // The first reason the setup would refuse the file; empty when it is sound.
    std::string problem;

    explicit operator bool() const { return problem.empty(); }
};

// The directory of a file of `fileSize` bytes and what the setup's reader and unpacking stage
// would refuse in it, from the file's first bytes: all of them, or kMaxDirectoryEnd at least. A
// count of 0 or below is an empty directory, as the setup reads it.
Parsed Parse(std::span<const std::uint8_t> start, std::uint64_t fileSize);

// The same for a whole file in memory.
inline Parsed Parse(std::span<const std::uint8_t> file) {
    return Parse(file, file.size());
}

}  // namespace archive

#endif
