#ifndef KARTOL_PLATFORM_POSIX_EMBEDDED_RESOURCES_H
#define KARTOL_PLATFORM_POSIX_EMBEDDED_RESOURCES_H

#include <cstddef>
#include <span>

namespace posix {

// The program's compiled resources: the standard .res file that windres makes from
// setup/setup.rc, linked into the binary unchanged.
std::span<const std::byte> EmbeddedResources();

}  // namespace posix

#endif
