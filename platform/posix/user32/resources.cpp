#include "resources.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "byte_reader.h"
#include "embedded_resources.h"
#include "formats/program_names.h"
#include "platform/posix/kernel32/fault_point.h"

namespace posix {
namespace {

constexpr std::size_t kEntryAlignment = sizeof(DWORD);
// The program's instance and module handle: the load address of a 32-bit Windows program,
// so the value looks like what a Windows build sees.
constexpr ULONG_PTR kProgramInstance = 0x00400000;
// A string id "#123" names the integer id 123, as FindResourceA documents.
constexpr char kNumberPrefix = '#';

HMODULE ProgramInstance() {
    return reinterpret_cast<HMODULE>(kProgramInstance);
}

// One entry at the reader's position; the reader ends after its padded data.
std::optional<ResourceEntry> ReadEntry(ByteReader& reader, std::span<const std::byte> file) {
    const std::size_t start = reader.Position();
    const std::optional<DWORD> dataSize = reader.Dword();
    const std::optional<DWORD> headerSize = reader.Dword();
    if (!dataSize || !headerSize) {
        return std::nullopt;
    }
    std::optional<OrdinalOrName> type = ReadOrdinalOrName(reader);
    std::optional<OrdinalOrName> name = type ? ReadOrdinalOrName(reader) : std::nullopt;
    if (!name || !reader.Align(kEntryAlignment)) {
        return std::nullopt;
    }
    const std::optional<DWORD> dataVersion = reader.Dword();
    const std::optional<WORD> memoryFlags = reader.Word();
    const std::optional<WORD> language = reader.Word();
    if (!dataVersion || !memoryFlags || !language) {
        return std::nullopt;
    }
    // The data starts where the header says, which also covers headers with more fields.
    if (*headerSize > file.size() - start || start + *headerSize < reader.Position() ||
        !reader.Seek(start + *headerSize)) {
        return std::nullopt;
    }
    const auto data = reader.Bytes(*dataSize);
    if (!data) {
        return std::nullopt;
    }
    // The last entry of a file may end without its padding.
    if (!reader.Align(kEntryAlignment)) {
        reader.Seek(file.size());
    }
    return ResourceEntry{std::move(*type), std::move(*name), *language, *data};
}

bool IsFormatMarker(const ResourceEntry& entry) {
    return entry.data.empty() && entry.type.ordinal == 0 && entry.name.ordinal == 0;
}

// An integer id, or "#<decimal>", as a number; any other string as nothing.
std::optional<WORD> IdNumber(LPCSTR id) {
    if (IS_INTRESOURCE(id)) {
        return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id));
    }
    const std::string_view text(id);
    if (text.size() < 2 || text.front() != kNumberPrefix) {
        return std::nullopt;
    }
    WORD number = 0;
    const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

bool Matches(const OrdinalOrName& stored, LPCSTR wanted) {
    if (const std::optional<WORD> number = IdNumber(wanted)) {
        return stored.ordinal == number;
    }
    return !stored.ordinal && names::SameIgnoringCase(stored.name, wanted);
}

// The resource last found with bytes given by an injection.
ResourceEntry substitute;

const ResourceEntry* EntryOf(HRSRC resource) {
    const auto& entries = ProgramResources();
    const auto* entry = reinterpret_cast<const ResourceEntry*>(resource);
    if (entry == &substitute) {
        return entry;
    }
    const auto found = std::ranges::find_if(
        entries, [entry](const ResourceEntry& candidate) { return &candidate == entry; });
    return found == entries.end() ? nullptr : entry;
}

std::string EntryKey(const ResourceEntry& entry) {
    return entry.name.ordinal ? kNumberPrefix + std::to_string(*entry.name.ordinal)
                              : entry.name.name;
}

bool IsProgramModule(HMODULE module) {
    return module == nullptr || module == ProgramInstance();
}

const ResourceEntry* Refuse(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// Checks what every resource call checks: the module is the program, the handle one of
// its resources, and no fault is injected for the call. An injection with an answer does not
// refuse: it is handed to the caller in `answered`.
const ResourceEntry* UsableEntry(Api api, HMODULE module, HRSRC resource,
                                 const Injection** answered = nullptr) {
    const ResourceEntry* entry = EntryOf(resource);
    if (!IsProgramModule(module) || entry == nullptr) {
        return Refuse(ERROR_INVALID_HANDLE);
    }
    if (const Injection* injection = FindInjection(api, EntryKey(*entry))) {
        if (answered == nullptr || injection->answer.empty()) {
            return Refuse(injection->error);
        }
        *answered = injection;
    }
    return entry;
}

}  // namespace

std::vector<ResourceEntry> ParseResourceFile(std::span<const std::byte> bytes) {
    std::vector<ResourceEntry> entries;
    ByteReader reader(bytes);
    while (reader.Remaining() > 0) {
        std::optional<ResourceEntry> entry = ReadEntry(reader, bytes);
        if (!entry) {
            break;
        }
        if (!IsFormatMarker(*entry)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

const std::vector<ResourceEntry>& ProgramResources() {
    static const std::vector<ResourceEntry> entries = ParseResourceFile(EmbeddedResources());
    return entries;
}

std::string ResourceKey(LPCSTR name) {
    if (name == nullptr) {
        return {};
    }
    if (IS_INTRESOURCE(name)) {
        return kNumberPrefix + std::to_string(reinterpret_cast<ULONG_PTR>(name));
    }
    return name;
}

}  // namespace posix

HMODULE GetModuleHandleA(LPCSTR moduleName) {
    if (moduleName != nullptr) {
        // The program loads no other module.
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return posix::ProgramInstance();
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    using namespace posix;
    if (!IsProgramModule(module) || name == nullptr || type == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const Injection* injection = FindInjection(Api::FindResourceA, ResourceKey(name));
    if (injection != nullptr && injection->data.empty()) {
        SetLastError(injection->error);
        return nullptr;
    }
    bool typeFound = false;
    for (const ResourceEntry& entry : ProgramResources()) {
        if (!Matches(entry.type, type)) {
            continue;
        }
        typeFound = true;
        if (!Matches(entry.name, name)) {
            continue;
        }
        if (injection == nullptr) {
            return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(&entry));
        }
        substitute = entry;
        substitute.data = injection->data;
        return reinterpret_cast<HRSRC>(&substitute);
    }
    SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    const posix::ResourceEntry* entry =
        posix::UsableEntry(posix::Api::LoadResource, module, resource);
    if (entry == nullptr) {
        return nullptr;
    }
    // The data stays where it was linked; the handle is its address, as on Win32.
    return const_cast<std::byte*>(entry->data.data());
}

LPVOID LockResource(HGLOBAL resource) {
    return resource;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    const posix::Injection* answered = nullptr;
    const posix::ResourceEntry* entry =
        posix::UsableEntry(posix::Api::SizeofResource, module, resource, &answered);
    if (entry == nullptr) {
        return 0;
    }
    const std::uint64_t size = entry->data.size();
    return static_cast<DWORD>(answered != nullptr ? std::min(answered->answer.front(), size)
                                                  : size);
}

// Resources live as long as the program: there is nothing to free, and FALSE is what Win32
// answers as well.
BOOL FreeResource(HGLOBAL) {
    return FALSE;
}
