// What the process still holds of the DDE management library: the instances, string handles,
// conversations and data handles that no call has released yet. A program that ends a
// conversation however it went holds none afterwards; the tests hold it to that, as they hold
// it to the files it opens.
#ifndef KARTOL_PLATFORM_POSIX_DDEML_DDE_OBJECTS_H
#define KARTOL_PLATFORM_POSIX_DDEML_DDE_OBJECTS_H

#include <cstddef>

namespace posix {

std::size_t HeldDdeObjects();

}  // namespace posix

#endif
