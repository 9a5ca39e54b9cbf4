#include "write_all.h"

#include <unistd.h>

namespace host {

bool WriteAll(int descriptor, std::string_view bytes) {
    return PutAll(bytes, [descriptor](std::string_view left) {
        return write(descriptor, left.data(), left.size());
    });
}

}  // namespace host
