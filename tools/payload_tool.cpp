// kartol-payload: builds and inspects the setup's payload. It packs a product folder into a
// payload archive in the order a manifest gives, compresses files into SZDD mode 'A' with the
// smallest output the format allows, and lists, extracts, expands and verifies both kinds of
// file. Every failure is a message on standard error and a non-zero exit status.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/payload_archive.h"
#include "formats/szdd_decoder.h"
#include "formats/szdd_encoder.h"
#include "formats/szdd_format.h"
#include "platform/host/codepage.h"
#include "tools/file_io.h"
#include "tools/install_check.h"
#include "tools/progress_line.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] = R"(usage: kartol-payload COMMAND ARGUMENTS

Builds and inspects the payload of the Vemo Kartol setup: payload archives and SZDD files.

commands:
  pack MANIFEST FOLDER ARCHIVE [DEPFILE]
                                pack the files of FOLDER that MANIFEST names, in its order,
                                into ARCHIVE (one entry name per line in UTF-8, "\" between
                                folders), if the setup can install it; DEPFILE lists the
                                files read, for a build's dependencies
  list FILE                     the entry count, then offset, size and name of each entry
  extract FILE FOLDER           write every entry below FOLDER (names that leave it are refused)
  compress INPUT OUTPUT         compress INPUT into SZDD mode 'A' (optimal parse)
  expand INPUT OUTPUT           expand an SZDD file; a length that differs from the header's
                                is reported and fails
  verify FILE...                check that each SZDD file or archive is well formed and
                                that the setup can install each archive

FILE may be an archive or an SZDD file that holds one.
)";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Arguments = std::vector<std::string_view>;

// "1 entry", "2 entries".
std::string Counted(std::size_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string{count == 1 ? one : many};
}

void NeedArguments(const Arguments& args, std::size_t fewest, std::size_t most,
                   std::string_view command) {
    if (args.size() < fewest || args.size() > most) {
        throw UsageError(std::string{command} + " takes " +
                         (fewest == most ? "" : std::to_string(fewest) + " or ") +
                         Counted(most, "argument", "arguments"));
    }
}

// Whether the file begins as an SZDD file does, if only with part of the magic.
bool LooksLikeSzdd(std::span<const std::uint8_t> bytes) {
    const std::size_t compared = std::min(bytes.size(), szdd::kMagic.size());
    return compared != 0 &&
           std::ranges::equal(bytes.first(compared), std::span{szdd::kMagic}.first(compared));
}

// Prints the check's warnings and errors, one line each, under the file they concern. True
// when the setup can install the archive.
bool Report(const fs::path& path, const tools::InstallCheck& check) {
    for (const auto* lines : {&check.warnings, &check.errors}) {
        for (const std::string& line : *lines) {
            std::fprintf(stderr, "kartol-payload: %s: %s%s\n", path.c_str(),
                         lines == &check.warnings ? "warning: " : "", line.c_str());
        }
    }
    return check.errors.empty();
}

// Thrown once the lines that say why have been printed.
struct Reported : std::exception {};

// The header of an SZDD file from its first bytes (all of them when it is shorter than a
// header); an error unless the file can be expanded.
szdd::Header ExpandableHeader(std::span<const std::uint8_t> start, const std::string& name) {
    const auto header = szdd::ReadHeader(start);
    if (!header) {
        throw std::runtime_error(name + (LooksLikeSzdd(start)
                                             ? ": cut short: the header ends after " +
                                                   std::to_string(start.size()) + " of " +
                                                   std::to_string(szdd::kHeaderSize) + " bytes"
                                             : ": not an SZDD file"));
    }
    if (header->mode != szdd::kModeA) {
        throw std::runtime_error(name + ": compression mode '" +
                                 std::string(1, static_cast<char>(header->mode)) +
                                 "' is not mode 'A'");
    }
    return *header;
}

// Holds an expansion to its header: a damaged body or a length that differs from the header's
// is an error. A file cut anywhere in its body yields less than its header states, whether or
// not the cut splits a reference.
void CheckExpansion(const szdd::Header& header, std::uint64_t size, bool truncated,
                    const std::string& name) {
    if (truncated || size < header.expandedLength) {
        throw std::runtime_error(name + ": cut short: the body gives " + std::to_string(size) +
                                 " of the " + std::to_string(header.expandedLength) +
                                 " bytes the header states");
    }
    if (size != header.expandedLength) {
        throw std::runtime_error(name + ": expands to " + std::to_string(size) +
                                 " bytes, the header says " +
                                 std::to_string(header.expandedLength));
    }
}

// The expansion of an SZDD file in memory, held to its header.
std::vector<std::uint8_t> ExpandChecked(std::span<const std::uint8_t> file,
                                        const std::string& name) {
    const szdd::Header header =
        ExpandableHeader(file.first(std::min(file.size(), szdd::kHeaderSize)), name);
    szdd::Expansion expansion =
        szdd::ExpandBody(file.subspan(szdd::kHeaderSize), header.expandedLength);
    CheckExpansion(header, expansion.bytes.size(), expansion.truncated, name);
    return std::move(expansion.bytes);
}

// An archive given as itself or inside an SZDD file, and its directory.
struct LoadedArchive {
    std::vector<std::uint8_t> bytes;
    archive::Parsed parsed;
};

LoadedArchive ReadArchive(const fs::path& path) {
    std::vector<std::uint8_t> bytes = tools::ReadFile(path);
    if (LooksLikeSzdd(bytes)) {
        bytes = ExpandChecked(bytes, path.string());
    }
    archive::Parsed parsed = archive::Parse(bytes);
    return {std::move(bytes), std::move(parsed)};
}

// The same, refused when the setup would refuse its directory.
LoadedArchive LoadArchive(const fs::path& path) {
    LoadedArchive loaded = ReadArchive(path);
    if (!loaded.parsed) {
        throw std::runtime_error(path.string() + ": " + loaded.parsed.error);
    }
    return loaded;
}

// The host path of an entry below `folder`: "\" separates folders, and the code page 1252
// name becomes UTF-8.
fs::path HostPath(const fs::path& folder, std::string_view name) {
    std::string relative = posix::Cp1252ToUtf8(name);
    std::ranges::replace(relative, '\\', '/');
    return folder / relative;
}

// The entry names of a manifest: one per line in UTF-8, blank lines and lines that start with
// "#" skipped, a CR before the line end ignored; each becomes code page 1252.
std::vector<std::string> ReadManifest(const fs::path& path) {
    const std::vector<std::uint8_t> bytes = tools::ReadFile(path);
    std::vector<std::string> names;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < bytes.size();) {
        const auto end = std::find(bytes.begin() + start, bytes.end(), '\n');
        std::string line(bytes.begin() + start, end);
        start = end - bytes.begin() + 1;
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        std::string name = posix::Utf8ToCp1252(line);
        if (posix::Cp1252ToUtf8(name) != line) {
            throw std::runtime_error(path.string() + ": line " + std::to_string(lineNumber) +
                                     " is not UTF-8 text that code page 1252 can hold");
        }
        names.push_back(std::move(name));
    }
    if (names.empty()) {
        throw std::runtime_error(path.string() + ": names no file");
    }
    return names;
}

// A make rule: `target` depends on `sources`, with the characters make and ninja treat
// specially escaped.
std::string DependencyRule(const fs::path& target, std::span<const fs::path> sources) {
    const auto escaped = [](const fs::path& path) {
        std::string out;
        for (const char c : fs::absolute(path).lexically_normal().string()) {
            out += c == ' ' || c == '#' ? std::string{'\\', c} : c == '$' ? "$$" : std::string{c};
        }
        return out;
    };
    std::string rule = escaped(target) + ":";
    for (const fs::path& source : sources) {
        rule += " \\\n  " + escaped(source);
    }
    return rule + "\n";
}

int Pack(const Arguments& args) {
    NeedArguments(args, 3, 4, "pack");
    const fs::path manifest{args[0]};
    const fs::path folder{args[1]};
    const std::vector<std::string> names = ReadManifest(manifest);
    // The names alone, before any file is read; the sizes are checked once they are known.
    std::vector<archive::Entry> named;
    for (const std::string& name : names) {
        named.push_back({.name = name});
    }
    if (!Report(manifest, tools::CheckInstallable(named, 0))) {
        throw Reported{};
    }
    std::vector<fs::path> sources{manifest};
    std::vector<std::vector<std::uint8_t>> contents;
    for (const std::string& name : names) {
        sources.push_back(HostPath(folder, name));
        contents.push_back(tools::ReadFile(sources.back()));
    }
    std::vector<archive::NamedBytes> entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries.push_back({names[i], contents[i]});
    }
    const std::vector<std::uint8_t> archive = archive::Build(entries);
    if (!Report(manifest,
                tools::CheckInstallable(archive::Parse(archive).entries, archive.size()))) {
        throw Reported{};
    }
    tools::WriteFile(fs::path{args[2]}, archive);
    if (args.size() == 4) {
        const std::string rule = DependencyRule(fs::path{args[2]}, sources);
        tools::WriteFile(fs::path{args[3]},
                         {reinterpret_cast<const std::uint8_t*>(rule.data()), rule.size()});
    }
    return 0;
}

int List(const Arguments& args) {
    NeedArguments(args, 1, 1, "list");
    const fs::path path{args[0]};
    const archive::Parsed parsed = ReadArchive(path).parsed;
    int status = 0;
    if (!parsed.entries.empty() || parsed) {
        std::printf("%s\n", Counted(parsed.entries.size(), "entry", "entries").c_str());
    }
    for (std::size_t i = 0; i < parsed.entries.size(); ++i) {
        const archive::Entry& entry = parsed.entries[i];
        std::string problem = parsed.problems[i];
        if (problem.empty()) {
            problem = tools::EntryInstallProblem(entry.name);
        }
        std::printf("%10u %10u %s%s%s\n", entry.offset, entry.size,
                    posix::Cp1252ToUtf8(entry.name).c_str(), problem.empty() ? "" : "  <- ",
                    problem.c_str());
        status = problem.empty() ? status : kExitFailure;
    }
    if (!parsed.fileProblem.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "kartol-payload: %s: %s\n", path.c_str(), parsed.fileProblem.c_str());
        status = kExitFailure;
    }
    return status;
}

// Refuses to write through a link that an earlier run or another program put into the folder.
// The parts are taken as written: resolving them first would follow the very links looked for.
void RefuseLinksBelow(const fs::path& folder, const fs::path& target) {
    fs::path at = folder;
    for (const fs::path& part : target.lexically_relative(folder)) {
        at /= part;
        if (fs::is_symlink(fs::symlink_status(at))) {
            throw std::runtime_error(at.string() + " is a link; not writing through it");
        }
    }
}

int Extract(const Arguments& args) {
    NeedArguments(args, 2, 2, "extract");
    const LoadedArchive loaded = LoadArchive(fs::path{args[0]});
    const fs::path folder{args[1]};
    fs::create_directories(folder);
    for (const archive::Entry& entry : loaded.parsed.entries) {
        const fs::path target = HostPath(folder, entry.name);
        RefuseLinksBelow(folder, target);
        fs::create_directories(target.parent_path());
        tools::WriteFile(target, std::span{loaded.bytes}.subspan(entry.offset, entry.size));
    }
    return 0;
}

int Compress(const Arguments& args) {
    NeedArguments(args, 2, 2, "compress");
    const fs::path path{args[0]};
    const std::uintmax_t size = tools::RegularFileSize(path);
    if (size > szdd::kMaxInputSize) {
        throw std::runtime_error(path.string() + ": " + std::to_string(size) +
                                 " bytes; an SZDD file holds less than 4 GiB");
    }
    szdd::EncoderInput input{size};
    tools::ReadInto(path, input.Data());
    tools::ProgressLine progress{"compress"};
    const std::vector<std::uint8_t> output = szdd::Compress(
        input, 0,
        [&progress](std::size_t done, std::size_t total) { progress.Update(done, total); });
    tools::WriteFile(fs::path{args[1]}, output);
    return 0;
}

// Expands from file to file through the decoder's fixed buffers, so that neither file is held
// in memory; the output keeps its name only when the expansion matches the header.
int Expand(const Arguments& args) {
    NeedArguments(args, 2, 2, "expand");
    const fs::path input{args[0]};
    tools::InputFile in{input};
    std::array<std::uint8_t, szdd::kHeaderSize> start{};
    const szdd::Header header =
        ExpandableHeader(std::span{start}.first(in.Read(start)), input.string());
    tools::OutputFile out{fs::path{args[1]}};
    const szdd::StreamResult result = szdd::ExpandStream(
        [&in](std::span<std::uint8_t> buffer) { return std::optional{in.Read(buffer)}; },
        [&out](std::span<const std::uint8_t> bytes) {
            out.Write(bytes);
            return true;
        });
    CheckExpansion(header, result.size, result.truncated, input.string());
    out.Commit();
    return 0;
}

// What a well-formed file is, for the verify report; throws for a damaged one and for an
// archive that the setup cannot install.
std::string VerifyOne(const fs::path& path) {
    std::vector<std::uint8_t> bytes = tools::ReadFile(path);
    const bool compressed = LooksLikeSzdd(bytes);
    if (compressed) {
        bytes = ExpandChecked(bytes, path.string());
        if (!archive::HasTestedMagic(bytes)) {
            return "SZDD file";
        }
    } else if (!archive::HasTestedMagic(bytes)) {
        throw std::runtime_error(path.string() + ": neither an SZDD file nor an archive");
    }
    const archive::Parsed parsed = archive::Parse(bytes);
    if (!parsed) {
        throw std::runtime_error(path.string() + ": " + parsed.error);
    }
    if (!Report(path, tools::CheckInstallable(parsed.entries, bytes.size()))) {
        throw Reported{};
    }
    return std::string{compressed ? "SZDD file holding an archive" : "archive"} + " of " +
           Counted(parsed.entries.size(), "entry", "entries");
}

int Verify(const Arguments& args) {
    if (args.empty()) {
        throw UsageError("verify takes one or more files");
    }
    int status = 0;
    for (const std::string_view name : args) {
        try {
            std::printf("%s: ok, %s\n", std::string{name}.c_str(),
                        VerifyOne(fs::path{name}).c_str());
        } catch (const Reported&) {
            status = kExitFailure;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "kartol-payload: %s\n", error.what());
            status = kExitFailure;
        }
    }
    return status;
}

const std::map<std::string_view, std::function<int(const Arguments&)>> kCommands{
    {"pack", Pack},         {"list", List},     {"extract", Extract},
    {"compress", Compress}, {"expand", Expand}, {"verify", Verify},
};

}  // namespace

int main(int argc, char** argv) {
    const Arguments all(argv + 1, argv + argc);
    if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        std::fputs(kUsage, all.empty() ? stderr : stdout);
        return all.empty() ? kExitUsage : 0;
    }
    const auto command = kCommands.find(all[0]);
    try {
        if (command == kCommands.end()) {
            throw UsageError("unknown command \"" + std::string{all[0]} + "\"");
        }
        return command->second(Arguments(all.begin() + 1, all.end()));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "kartol-payload: %s (see kartol-payload --help)\n", error.what());
        return kExitUsage;
    } catch (const Reported&) {
        return kExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kartol-payload: %s\n", error.what());
        return kExitFailure;
    }
}
