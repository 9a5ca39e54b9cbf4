// Fuzz target: the reading of the uninstall log "deinst.log". The first byte is the number of
// levels of the folder's path, the rest the log. A log that is taken must be exactly what the
// setup's line formats write for its contents through a text stream, for at most that many
// levels, and only names that stay inside the folder are taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/payload_archive.h"
#include "formats/text_format.h"
#include "formats/uninstall_log_format.h"

namespace {

// What a text stream writes for the formatted text: CR LF for every line feed.
std::string ThroughTextStream(const std::string& text) {
    std::string written;
    for (const char c : text) {
        written += c == '\n' ? std::string{kLogLineEnd} : std::string(1, c);
    }
    return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t levels = data[0];
    const std::string_view text{reinterpret_cast<const char*>(data + 1), size - 1};
    const ParsedLog parsed = ParseUninstallLog(text, levels);
    if (!parsed.record) {
        return parsed.badLine > 0 ? 0 : (std::abort(), 0);
    }
    const std::vector<bool>& created = parsed.record->levelCreated;
    std::string formatted = text::Format(kLevelCountFormat, static_cast<int>(created.size()));
    for (const bool flag : created) {
        formatted += text::Format(kLevelFlagFormat, flag ? 1 : 0);
    }
    formatted += kLineFeed;
    for (const std::string& name : parsed.record->files) {
        if (!archive::IsContainedName(name)) {
            std::abort();
        }
        formatted += text::Format(kFileLineFormat, name.c_str());
    }
    if (ThroughTextStream(formatted) != text || created.size() > levels) {
        std::abort();
    }
    return 0;
}
