// Everything user32 keeps for the process: the registered classes, the windows by handle, the
// focus and a posted quit message. For user32 itself and the tests' reset.
#ifndef KARTOL_PLATFORM_POSIX_USER32_WINDOW_REGISTRY_H
#define KARTOL_PLATFORM_POSIX_USER32_WINDOW_REGISTRY_H

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "window_objects.h"

namespace posix {

struct WindowRegistry {
    std::vector<WindowClass> classes;
    std::vector<std::unique_ptr<Window>> topLevel;
    std::unordered_map<HWND, Window*> byHandle;
    HWND focus = nullptr;
    std::optional<int> quitCode;
};

WindowRegistry& Registry();

}  // namespace posix

#endif
