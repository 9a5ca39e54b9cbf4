#include "platform/posix/user32/embedded_resources.h"

// The .res file is assembled into read-only data as it is, so the stand-in layer reads the
// very bytes that the Windows build links as its resource section.
asm(".section .rodata\n"
    ".balign 16\n"
    "kartol_resources_begin:\n"
    ".incbin \"" KARTOL_RES_FILE
    "\"\n"
    "kartol_resources_end:\n"
    ".previous\n");

extern "C" const std::byte kartol_resources_begin[];
extern "C" const std::byte kartol_resources_end[];

namespace posix {

std::span<const std::byte> EmbeddedResources() {
    return {kartol_resources_begin, kartol_resources_end};
}

}  // namespace posix
