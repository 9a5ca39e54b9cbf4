// The program's resources, read from the compiled .res file linked into the binary (see
// embedded_resources.h). A .res file is a sequence of entries, each a RESOURCEHEADER (data
// size, header size, type, name, data version, memory flags, language, version,
// characteristics) and the data, both padded to a multiple of four bytes; type and name are
// each a number (0xFFFF and a WORD) or a UTF-16 string. The first entry of the file is an
// empty one that marks the format.
//
// FindResourceA, LoadResource and SizeofResource ask the fault-injection seam first; the
// injection's path is matched against the resource's name as ResourceKey writes it: "#113"
// for a number, the name itself for a string. DialogBoxParamW uses the same key for its
// template.
#ifndef KARTOL_PLATFORM_POSIX_RESOURCES_H
#define KARTOL_PLATFORM_POSIX_RESOURCES_H

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "platform/posix/include/win32.h"

namespace posix {

struct ResourceEntry {
    OrdinalOrName type;
    OrdinalOrName name;
    WORD language = 0;
    std::span<const std::byte> data;
};

// The entries of a .res file, in file order, the empty format marker left out. Reads only
// inside `bytes`: a truncated or malformed entry ends the list, and the entries before it
// are kept.
std::vector<ResourceEntry> ParseResourceFile(std::span<const std::byte> bytes);

// The entries of the program's own resources, parsed once.
const std::vector<ResourceEntry>& ProgramResources();

// "#<number>" for an integer resource name (MAKEINTRESOURCE), else the name itself.
std::string ResourceKey(LPCSTR name);

}  // namespace posix

#endif
