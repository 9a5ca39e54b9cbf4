#include "platform/posix/program_usage.h"

std::string_view ProgramUsage() {
    return "usage: KARTOL.EXE [--help]   shows the Vemo Kartol window";
}
