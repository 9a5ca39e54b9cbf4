#include "fault_point.h"

namespace posix {
namespace {

InjectionSource Source = nullptr;

}  // namespace

const Injection* FindInjection(Api api, std::string_view path) {
    return Source != nullptr ? Source(api, path) : nullptr;
}

void SetInjectionSource(InjectionSource source) {
    Source = source;
}

}  // namespace posix
