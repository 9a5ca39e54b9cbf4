// Fuzz target: the uninstaller's reading of "deinst.log". The first byte is the number of
// levels of the folder's path, the rest the log. A log that is taken must be exactly what a
// setup writes for its record, for at most that many levels, and only names that stay inside
// the folder are taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/payload_archive.h"
#include "formats/install_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t levels = data[0];
    const std::string_view text{reinterpret_cast<const char*>(data + 1), size - 1};
    const ParsedLog parsed = ParseInstallLog(text, levels);
    if (!parsed.record) {
        return parsed.badLine > 0 ? 0 : (std::abort(), 0);
    }
    std::string written = std::to_string(parsed.record->levelCreated.size());
    for (const bool created : parsed.record->levelCreated) {
        written += created ? " 1" : " 0";
    }
    written += "\r\n";
    for (const std::string& name : parsed.record->files) {
        if (!archive::IsContainedName(name)) {
            std::abort();
        }
        written += "NC " + name + "\r\n";
    }
    if (written != text || parsed.record->levelCreated.size() > levels) {
        std::abort();
    }
    return 0;
}
