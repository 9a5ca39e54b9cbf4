#include "platform/posix/program_usage.h"

std::string_view ProgramUsage() {
    return "usage: uninst.exe [--help]   removes the Vemo Kartol installed in its folder, after "
           "asking";
}
