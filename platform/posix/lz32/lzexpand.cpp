// LZ handles over the program's buffered streams: opening goes through the drive map and
// refuses what is not a regular file, as OpenProgramStream does, and LZCopy expands with the
// project's SZDD decoder, from stream to stream through its fixed buffers.
#include <algorithm>
#include <array>
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

// The stream's next bytes into `buffer`, for the decoder: nothing on a read error.
std::optional<std::size_t> ReadSome(FILE* stream, std::span<std::uint8_t> buffer) {
    const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), stream);
    return std::ferror(stream) == 0 ? std::optional{read} : std::nullopt;
}

bool WriteAll(FILE* stream, std::span<const std::uint8_t> bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

// A file that is not SZDD: the bytes already read, then the rest as it comes.
szdd::StreamResult CopyStream(std::span<const std::uint8_t> head, const szdd::BodyReader& read,
                              const szdd::OutputWriter& write) {
    szdd::StreamResult result;
    std::vector<std::uint8_t> buffer(szdd::kInputChunk);
    for (std::span<const std::uint8_t> piece = head; !piece.empty();) {
        if (!write(piece)) {
            result.writeFailed = true;
            return result;
        }
        result.size += piece.size();
        const std::optional<std::size_t> count = read(buffer);
        result.readFailed = !count;
        piece = std::span{buffer}.first(count.value_or(0));
    }
    return result;
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
    if (posix::FailsByInjection(posix::Api::LZCopy, {})) {
        return LZERROR_READ;
    }
    // The header decides: an SZDD file is expanded, anything else is copied as it is, the
    // bytes read to look at it first.
    std::array<std::uint8_t, szdd::kHeaderSize> start{};
    const std::optional<std::size_t> started = ReadSome(in, start);
    if (!started) {
        return LZERROR_READ;
    }
    const std::span<const std::uint8_t> head = std::span{start}.first(*started);
    const szdd::BodyReader read = [in](std::span<std::uint8_t> buffer) {
        return ReadSome(in, buffer);
    };
    const szdd::OutputWriter write = [out](std::span<const std::uint8_t> bytes) {
        return WriteAll(out, bytes);
    };
    szdd::StreamResult result;
    if (szdd::HasMagic(head)) {
        const auto header = szdd::ReadHeader(head);
        if (!header) {
            return LZERROR_READ;
        }
        if (header->mode != szdd::kModeA) {
            return LZERROR_UNKNOWNALG;
        }
        result = szdd::ExpandStream(read, write);
    } else {
        result = CopyStream(head, read, write);
    }
    if (result.readFailed) {
        return LZERROR_READ;
    }
    if (result.writeFailed || std::fflush(out) != 0) {
        return LZERROR_WRITE;
    }
    return static_cast<LONG>(
        std::min<std::uint64_t>(result.size, std::numeric_limits<LONG>::max()));
}

void LZClose(INT handle) {
    if (FILE* const stream = StreamOf(handle); stream != nullptr) {
        std::fclose(stream);
        OpenFiles()[static_cast<std::size_t>(handle - kFirstHandle)] = nullptr;
    }
}
