#include "path_text.h"

#include <algorithm>

#include "formats/program_names.h"

namespace posix {
namespace {

constexpr char kDot = '.';
// The full form of a device's path: "\\.\CON".
constexpr std::string_view kDevicePrefix = "\\\\.\\";

}  // namespace

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAbsoluteDrivePath(std::string_view programPath) {
    return programPath.size() >= names::kDriveRootLength && IsDriveLetter(programPath[0]) &&
           programPath[1] == ':' && names::IsPathSeparator(programPath[2]);
}

std::string_view LastName(std::string_view programPath) {
    return programPath.substr(programPath.find_last_of(names::kPathSeparators) + 1);
}

std::vector<std::string_view> NormalComponents(std::string_view belowRoot) {
    const bool endsInSeparator = !belowRoot.empty() && names::IsPathSeparator(belowRoot.back());
    std::vector<std::string_view> components;
    while (!belowRoot.empty()) {
        const auto end = std::ranges::find_if(belowRoot, names::IsPathSeparator);
        std::string_view component{belowRoot.begin(), end};
        belowRoot.remove_prefix(component.size() + (end == belowRoot.end() ? 0 : 1));
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
            continue;
        }
        // "." is such a dot too, and nothing is left of it.
        if (component.ends_with(kDot) && !component.ends_with("..")) {
            component.remove_suffix(1);
        }
        if (!component.empty()) {
            components.push_back(component);
        }
    }
    if (!endsInSeparator && !components.empty()) {
        std::string_view& last = components.back();
        last = last.substr(0, last.find_last_not_of(names::kDroppedAtPathEnd) + 1);
        if (last.empty()) {
            components.pop_back();
        }
    }
    return components;
}

std::optional<std::string> FullProgramPath(std::string_view programPath) {
    if (!IsAbsoluteDrivePath(programPath)) {
        return std::nullopt;
    }
    if (const std::optional<std::string_view> device = names::DeviceOf(LastName(programPath))) {
        return std::string{kDevicePrefix} + std::string{*device};
    }
    const std::vector<std::string_view> components =
        NormalComponents(programPath.substr(names::kDriveRootLength));
    std::string full{programPath.substr(0, names::kDriveRootLength - 1)};
    for (std::string_view component : components) {
        full += '\\';
        full += component;
    }
    if (components.empty() || names::IsPathSeparator(programPath.back())) {
        full += '\\';
    }
    return full;
}

}  // namespace posix
