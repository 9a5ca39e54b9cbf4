#include "program_mode.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <string>

namespace posix {

bool IsProgramName(const std::filesystem::path& host) {
    std::string extension = host.extension().string();
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".exe";
}

mode_t ProgramMode(mode_t mode) {
    constexpr mode_t kReadBits = S_IRUSR | S_IRGRP | S_IROTH;
    constexpr int kReadToExecuteShift = 2;
    return mode | ((mode & kReadBits) >> kReadToExecuteShift);
}

}  // namespace posix
