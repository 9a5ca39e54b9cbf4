// LZ handles over the program's buffered streams: opening goes through the drive map and
// refuses what is not a regular file, as OpenProgramStream does, and LZCopy expands with the
// project's SZDD decoder, in memory.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "formats/szdd_decoder.h"
#include "platform/platform.h"
#include "platform/posix/kernel32/drive_map.h"
#include "platform/posix/kernel32/fault_point.h"
#include "platform/posix/kernel32/last_error.h"
#include "platform/posix/kernel32/mapped_stream.h"

namespace {

// Handles count from here, as Win32's LZ handles do, so that none is mistaken for an error.
constexpr INT kFirstHandle = 0x400;
constexpr std::size_t kReadChunk = 1 << 16;

std::vector<FILE*>& OpenFiles() {
    static std::vector<FILE*> files;
    return files;
}

FILE* StreamOf(INT handle) {
    const std::vector<FILE*>& files = OpenFiles();
    const auto index = static_cast<std::size_t>(handle - kFirstHandle);
    return handle >= kFirstHandle && index < files.size() ? files[index] : nullptr;
}

INT NewHandle(FILE* stream) {
    std::vector<FILE*>& files = OpenFiles();
    auto free = std::ranges::find(files, nullptr);
    if (free == files.end()) {
        free = files.insert(files.end(), nullptr);
    }
    *free = stream;
    return kFirstHandle + static_cast<INT>(free - files.begin());
}

// The whole rest of the stream, or false on a read error.
bool ReadAll(FILE* stream, std::vector<std::uint8_t>& bytes) {
    std::size_t read = 0;
    do {
        bytes.resize(read + kReadChunk);
        read += std::fread(bytes.data() + read, 1, kReadChunk, stream);
    } while (read == bytes.size());
    bytes.resize(read);
    return std::ferror(stream) == 0;
}

}  // namespace

INT LZOpenFileA(LPSTR fileName, LPOFSTRUCT reOpenBuffer, WORD style) {
    if (posix::FailsByInjection(posix::Api::LZOpenFileA, posix::PathArgument(fileName))) {
        return LZERROR_BADINHANDLE;
    }
    if (style != OF_READ && style != OF_CREATE) {
        return LZERROR_BADVALUE;
    }
    // Win32 opens the file through OpenFile, which keeps the full path in the reopen record and
    // refuses a path that does not fit there, however short the file's own name.
    OFSTRUCT ownRecord{};
    OFSTRUCT& record = reOpenBuffer != nullptr ? *reOpenBuffer : ownRecord;
    record.cBytes = sizeof record;
    const DWORD length =
        GetFullPathNameA(fileName, sizeof record.szPathName, record.szPathName, nullptr);
    if (length == 0 || length >= sizeof record.szPathName) {
        return LZERROR_BADINHANDLE;
    }
    FILE* const stream =
        posix::OpenMappedStream(posix::PathArgument(fileName), style == OF_CREATE ? "wb" : "rb");
    return stream != nullptr ? NewHandle(stream) : LZERROR_BADINHANDLE;
}

LONG LZCopy(INT source, INT destination) {
    FILE* const in = StreamOf(source);
    FILE* const out = StreamOf(destination);
    if (in == nullptr) {
        return LZERROR_BADINHANDLE;
    }
    if (out == nullptr) {
        return LZERROR_BADOUTHANDLE;
    }
    std::vector<std::uint8_t> file;
    if (posix::FailsByInjection(posix::Api::LZCopy, {}) || !ReadAll(in, file)) {
        return LZERROR_READ;
    }
    std::span<const std::uint8_t> output = file;
    szdd::Expansion expansion;
    if (szdd::HasMagic(file)) {
        const auto header = szdd::ReadHeader(file);
        if (!header) {
            return LZERROR_READ;
        }
        if (header->mode != szdd::kModeA) {
            return LZERROR_UNKNOWNALG;
        }
        expansion =
            szdd::ExpandBody(std::span{file}.subspan(szdd::kHeaderSize), header->expandedLength);
        output = expansion.Bytes();
    }
    if (std::fwrite(output.data(), 1, output.size(), out) != output.size() ||
        std::fflush(out) != 0) {
        return LZERROR_WRITE;
    }
    return static_cast<LONG>(
        std::min<std::size_t>(output.size(), std::numeric_limits<LONG>::max()));
}

void LZClose(INT handle) {
    if (FILE* const stream = StreamOf(handle); stream != nullptr) {
        std::fclose(stream);
        OpenFiles()[static_cast<std::size_t>(handle - kFirstHandle)] = nullptr;
    }
}
