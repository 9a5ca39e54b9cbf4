#include "fault_injection.h"

#include <utility>

#include "codepage.h"

namespace posix {
namespace {

struct Entry {
    Api api;
    Injection injection;
    std::size_t matched = 0;
};

std::vector<Entry>& Injections() {
    static std::vector<Entry> injections;
    return injections;
}

bool recording = false;

std::vector<Api>& Calls() {
    static std::vector<Api> calls;
    return calls;
}

}  // namespace

void Inject(Api api, Injection injection) {
    Injections().push_back({api, std::move(injection)});
}

void ClearInjections() {
    Injections().clear();
    recording = false;
}

void StartRecording() {
    Calls().clear();
    recording = true;
}

const std::vector<Api>& RecordedCalls() {
    return Calls();
}

const Injection* FindInjection(Api api, std::string_view path) {
    if (recording) {
        Calls().push_back(api);
    }
    for (Entry& entry : Injections()) {
        if (entry.api != api ||
            !(entry.injection.path.empty() || SameIgnoringCase(entry.injection.path, path))) {
            continue;
        }
        ++entry.matched;
        if (entry.injection.occurrence == 0 || entry.injection.occurrence == entry.matched) {
            return &entry.injection;
        }
    }
    return nullptr;
}

}  // namespace posix
