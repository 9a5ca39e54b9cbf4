#include "test_process.h"

#include <stdlib.h>

#include "platform/posix/kernel32/drive_settings.h"
#include "platform/posix/user32/window_registry.h"

namespace posix {

void ResetWindowing() {
    WindowRegistry& registry = Registry();
    registry.topLevel.clear();
    registry.byHandle.clear();
    registry.focus = nullptr;
    registry.quitCode.reset();
    registry.classes.clear();
}

std::optional<int> PostedQuitCode() {
    return Registry().quitCode;
}

void MapDrive(char letter, const std::filesystem::path& folder) {
    setenv(DriveVariable(letter).c_str(), folder.c_str(), 1);
}

}  // namespace posix
