#include "platform/posix/program_usage.h"

std::string_view ProgramUsage() {
    return "usage: setup [--help]   installs Vemo Kartol into the folder that its dialog asks for";
}
