#include "self_removal.h"

bool HandOverToCopy(const std::string&) {
    return false;
}

std::optional<std::string> HandedOverFolder(LPSTR) {
    return std::nullopt;
}

void RemoveOwnFileAfterExit() {}
