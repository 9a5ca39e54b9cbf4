#include "payload_archive.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "formats/byte_order.h"

namespace archive {
namespace {

constexpr std::size_t kOffsetField = kNameFieldSize;
constexpr std::size_t kSizeField = kNameFieldSize + 4;
// Offsets are used as signed 32-bit stream positions.
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A message from its parts, appended one after the other (which also keeps GCC's overlap
// warning for chained string concatenation quiet).
template <typename... Parts>
std::string Message(const Parts&... parts) {
    std::string message;
    (message.append(std::string_view{parts}), ...);
    return message;
}

std::string TooMany(std::int64_t count) {
    return Message(std::to_string(count), " entries; at most ", std::to_string(kMaxEntries),
                   " fit the setup's directory");
}

std::string Quoted(std::string_view name) {
    return Message("\"", name, "\"");
}

}  // namespace

bool IsContainedName(std::string_view name) {
    if (name.empty() || IsSeparator(name.front()) || name.find(':') != name.npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto end = std::find_if(name.begin() + start, name.end(), IsSeparator);
        const std::string_view component = name.substr(start, end - (name.begin() + start));
        if (!component.empty() && component.find_first_not_of(". ") == component.npos) {
            return false;
        }
        start += component.size() + 1;
    }
    return true;
}

std::string NameProblem(std::string_view name) {
    if (name.size() >= kNameFieldSize) {
        return Message("is longer than ", std::to_string(kNameFieldSize - 1), " bytes");
    }
    if (name.find('\0') != name.npos) {
        return "holds a NUL byte";
    }
    if (!IsContainedName(name)) {
        return "leaves the target folder";
    }
    return {};
}

std::vector<std::uint8_t> Build(std::span<const NamedBytes> entries) {
    if (entries.size() > kMaxEntries) {
        throw std::invalid_argument(TooMany(entries.size()));
    }
    std::uint64_t total = kDirectoryOffset + kRecordSize * entries.size();
    std::vector<std::uint8_t> file(total);
    std::ranges::copy(kMagicText, file.begin());
    file[kMagicText.size()] = kEndOfText;
    bytes::WriteLe32(std::span{file}.subspan(kHeaderSize),
                     static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const NamedBytes& entry = entries[i];
        if (const std::string problem = NameProblem(entry.name); !problem.empty()) {
            throw std::invalid_argument(Message("name ", Quoted(entry.name), " ", problem));
        }
        if (total + entry.bytes.size() > kMaxOffset) {
            throw std::invalid_argument(Message("entry ", Quoted(entry.name),
                                                " lies beyond 2 GiB, which offsets cannot reach"));
        }
        const std::span record =
            std::span{file}.subspan(kDirectoryOffset + kRecordSize * i, kRecordSize);
        std::ranges::copy(entry.name, record.begin());
        bytes::WriteLe32(record.subspan(kOffsetField), static_cast<std::uint32_t>(total));
        bytes::WriteLe32(record.subspan(kSizeField),
                         static_cast<std::uint32_t>(entry.bytes.size()));
        total += entry.bytes.size();
    }
    file.reserve(total);
    for (const NamedBytes& entry : entries) {
        file.insert(file.end(), entry.bytes.begin(), entry.bytes.end());
    }
    return file;
}

Parsed Parse(std::span<const std::uint8_t> file) {
    const auto FileProblem = [](std::string problem) {
        return Parsed{.entries = {}, .problems = {}, .fileProblem = problem, .error = problem};
    };
    if (file.size() < kHeaderSize) {
        return FileProblem("the header is cut short");
    }
    if (!std::ranges::equal(file.first(kTestedMagicSize), kMagicText.substr(0, kTestedMagicSize))) {
        return FileProblem("not a payload archive (wrong magic)");
    }
    if (file.size() < kDirectoryOffset) {
        return FileProblem("the entry count is cut short");
    }
    const auto count = static_cast<std::int32_t>(bytes::ReadLe32(file.subspan(kHeaderSize)));
    if (count > static_cast<std::int32_t>(kMaxEntries)) {
        return FileProblem(TooMany(count));
    }
    Parsed parsed;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t at = kDirectoryOffset + kRecordSize * i;
        if (file.size() < at + kRecordSize) {
            parsed.fileProblem = Message("the directory is cut short at entry ", std::to_string(i));
            parsed.error = parsed.fileProblem;
            break;
        }
        const std::span record = file.subspan(at, kRecordSize);
        const auto nul = std::ranges::find(record.first(kNameFieldSize), 0);
        Entry entry{std::string(record.begin(), nul), bytes::ReadLe32(record.subspan(kOffsetField)),
                    bytes::ReadLe32(record.subspan(kSizeField))};
        std::string problem;
        if (nul == record.begin() + kNameFieldSize) {
            problem = "the name has no terminator";
        } else if (!IsContainedName(entry.name)) {
            problem = "the name leaves the target folder";
        } else if (std::uint64_t{entry.offset} + entry.size > file.size() ||
                   entry.offset > kMaxOffset) {
            problem = "its bytes are not all in the archive";
        }
        if (!problem.empty() && parsed.error.empty()) {
            parsed.error =
                Message("entry ", std::to_string(i), " ", Quoted(entry.name), ": ", problem);
        }
        parsed.entries.push_back(std::move(entry));
        parsed.problems.push_back(std::move(problem));
    }
    return parsed;
}

}  // namespace archive
