#include "payload_archive.h"

#include <algorithm>

#include "formats/byte_order.h"
#include "formats/program_names.h"
#include "formats/text_format.h"

namespace archive {
namespace {

constexpr std::size_t kOffsetField = kNameFieldSize;
constexpr std::size_t kSizeField = kNameFieldSize + 4;

std::string TooMany(std::size_t count) {
    return text::Format("%zu entries; at most %zu fit the setup's directory", count, kMaxEntries);
}

}  // namespace

bool IsContainedName(std::string_view name) {
    if (name.empty() || names::IsPathSeparator(name.front()) || name.find(':') != name.npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto end = std::find_if(name.begin() + start, name.end(), names::IsPathSeparator);
        const std::string_view component = name.substr(start, end - (name.begin() + start));
        if (!component.empty() && component.find_first_not_of(". ") == component.npos) {
            return false;
        }
        start += component.size() + 1;
    }
    return true;
}

bool HasTestedMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kTestedMagicSize &&
           std::ranges::equal(bytes.first(kTestedMagicSize),
                              kMagicText.substr(0, kTestedMagicSize));
}

std::string_view EntryProblem(std::span<const char, kNameFieldSize> nameField, std::uint32_t offset,
                              std::uint32_t size, std::uint64_t fileSize) {
    const auto nul = std::ranges::find(nameField, '\0');
    if (nul == nameField.end()) {
        return "the name has no terminator";
    }
    if (!IsContainedName({nameField.begin(), nul})) {
        return "the name leaves the target folder";
    }
    if (std::uint64_t{offset} + size > fileSize || offset > kMaxOffset) {
        return "its bytes are not all in the archive";
    }
    return {};
}

std::string NameProblem(std::string_view name) {
    if (name.size() >= kNameFieldSize) {
        return text::Format("is longer than %zu bytes", kNameFieldSize - 1);
    }
    if (name.find('\0') != name.npos) {
        return "holds a NUL byte";
    }
    if (!IsContainedName(name)) {
        return "leaves the target folder";
    }
    return {};
}

Built Build(std::span<const NamedBytes> entries) {
    if (entries.size() > kMaxEntries) {
        return {{}, TooMany(entries.size())};
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
            return {{}, text::Format("name \"%s\" %s", entry.name.c_str(), problem.c_str())};
        }
        if (total + entry.bytes.size() > kMaxOffset) {
            return {{},
                    text::Format("entry \"%s\" lies beyond 2 GiB, which offsets cannot reach",
                                 entry.name.c_str())};
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
    return {std::move(file), {}};
}

Parsed Parse(std::span<const std::uint8_t> start, std::uint64_t fileSize) {
    const auto FileProblem = [](std::string problem) {
        return Parsed{.entries = {}, .problems = {}, .fileProblem = problem, .problem = problem};
    };
    if (start.size() < kHeaderSize) {
        return FileProblem("the header is cut short");
    }
    if (!HasTestedMagic(start)) {
        return FileProblem("not a payload archive (wrong magic)");
    }
    if (start.size() < kDirectoryOffset) {
        return FileProblem("the entry count is cut short");
    }
    const auto count = static_cast<std::int32_t>(bytes::ReadLe32(start.subspan(kHeaderSize)));
    if (count > static_cast<std::int32_t>(kMaxEntries)) {
        return FileProblem(TooMany(static_cast<std::size_t>(count)));
    }
    Parsed parsed;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t at = kDirectoryOffset + kRecordSize * i;
        if (start.size() < at + kRecordSize) {
            parsed.fileProblem = text::Format("the directory is cut short at entry %d", i);
            parsed.problem = parsed.fileProblem;
            break;
        }
        const std::span record = start.subspan(at, kRecordSize);
        const std::span<const char, kNameFieldSize> nameField{
            reinterpret_cast<const char*>(record.data()), kNameFieldSize};
        Entry entry{std::string(nameField.begin(), std::ranges::find(nameField, '\0')),
                    bytes::ReadLe32(record.subspan(kOffsetField)),
                    bytes::ReadLe32(record.subspan(kSizeField))};
        const std::string_view problem =
            EntryProblem(nameField, entry.offset, entry.size, fileSize);
        if (!problem.empty() && parsed.problem.empty()) {
            parsed.problem = text::Format("entry %d \"%s\": %.*s", i, entry.name.c_str(),
                                          static_cast<int>(problem.size()), problem.data());
        }
        parsed.entries.push_back(std::move(entry));
        parsed.problems.emplace_back(problem);
    }
    return parsed;
}

}  // namespace archive
