#include "platform.h"

FILE* OpenProgramStream(const char* path, const char* mode) {
    return std::fopen(path, mode);
}
