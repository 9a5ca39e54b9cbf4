#include "fault_injection.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace posix {
namespace {

struct Entry {
    Api api;
    Injection injection;
};

std::vector<Entry>& Injections() {
    static std::vector<Entry> injections;
    return injections;
}

bool SamePath(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

void Inject(Api api, Injection injection) { Injections().push_back({api, std::move(injection)}); }

void ClearInjections() { Injections().clear(); }

const Injection* FindInjection(Api api, std::string_view path) {
    for (const Entry& entry : Injections()) {
        if (entry.api == api &&
            (entry.injection.path.empty() || SamePath(entry.injection.path, path))) {
            return &entry.injection;
        }
    }
    return nullptr;
}

}  // namespace posix
