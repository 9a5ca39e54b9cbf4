#include "fault_injection.h"

#include <optional>
#include <utility>

#include "formats/program_names.h"

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

// The operations asked about since StartRecording, or none while not recording.
std::optional<std::vector<Api>>& Record() {
    static std::optional<std::vector<Api>> record;
    return record;
}

const Injection* Lookup(Api api, std::string_view path) {
    if (Record()) {
        Record()->push_back(api);
    }
    for (Entry& entry : Injections()) {
        if (entry.api != api || !(entry.injection.path.empty() ||
                                  names::SameIgnoringCase(entry.injection.path, path))) {
            continue;
        }
        ++entry.matched;
        if (entry.injection.occurrence == 0 || entry.injection.occurrence == entry.matched) {
            return &entry.injection;
        }
    }
    return nullptr;
}

}  // namespace

void Inject(Api api, Injection injection) {
    SetInjectionSource(Lookup);
    Injections().push_back({api, std::move(injection)});
}

void ClearInjections() {
    Injections().clear();
    Record().reset();
}

void StartRecording() {
    SetInjectionSource(Lookup);
    Record().emplace();
}

std::vector<Api> RecordedCalls() {
    return Record().value_or(std::vector<Api>{});
}

}  // namespace posix
