#include "program_mode.h"

#include <sys/stat.h>

#include "formats/program_names.h"

namespace posix {

bool IsProgramName(const std::filesystem::path& host) {
    return names::SameIgnoringCase(host.extension().string(), ".exe");
}

mode_t ProgramMode(mode_t mode) {
    constexpr mode_t kReadBits = S_IRUSR | S_IRGRP | S_IROTH;
    constexpr int kReadToExecuteShift = 2;
    return mode | ((mode & kReadBits) >> kReadToExecuteShift);
}

}  // namespace posix
