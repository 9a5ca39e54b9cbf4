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
#include <functional>
#include <list>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats/payload_archive.h"
#include "formats/program_names.h"
#include "formats/szdd_decoder.h"
#include "formats/szdd_encoder.h"
#include "formats/szdd_format.h"
#include "formats/target_layout.h"
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
  expand INPUT OUTPUT           expand an SZDD file into what its body gives, as Windows
                                does; a length that differs from the header's is a warning
  verify FILE...                check that each SZDD file or archive is well formed and
                                that the setup can install each archive

FILE may be an archive or an SZDD file that holds one. Every input is a regular file, and no
output may be one of the inputs, also through a link.
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

// Why an expansion does not match its header, or an empty text: a body that gives fewer bytes
// than the header states or ends inside a reference (a file cut anywhere in its body does
// either), or one that gives more.
std::string ExpansionProblem(const szdd::Header& header, std::uint64_t size, bool truncated) {
    if (size < header.expandedLength) {
        return "cut short: the body gives " + std::to_string(size) + " of the " +
               std::to_string(header.expandedLength) + " bytes the header states";
    }
    if (truncated) {
        return "cut short: the body ends inside a reference, after " +
               Counted(size, "byte", "bytes");
    }
    if (size != header.expandedLength) {
        return "expands to " + std::to_string(size) + " bytes, the header says " +
               std::to_string(header.expandedLength);
    }
    return {};
}

// Holds an expansion to its header.
void CheckExpansion(const szdd::Header& header, std::uint64_t size, bool truncated,
                    const std::string& name) {
    if (const std::string problem = ExpansionProblem(header, size, truncated); !problem.empty()) {
        throw std::runtime_error(name + ": " + problem);
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

// The decoder's reader over the rest of a file.
szdd::BodyReader BodyOf(tools::InputFile& in) {
    return [&in](std::span<std::uint8_t> buffer) { return std::optional{in.Read(buffer)}; };
}

// The start of an archive given as itself or inside an SZDD file (expanded and held to its
// header), the bytes that its directory can take, and its size. The file is read through once
// in fixed buffers, so that a large file takes no more memory than a small one.
struct ArchiveStart {
    std::vector<std::uint8_t> bytes;
    std::uint64_t size = 0;
    bool compressed = false;
};

ArchiveStart ReadArchiveStart(const fs::path& path) {
    tools::InputFile in{path};
    std::array<std::uint8_t, szdd::kHeaderSize> head{};
    const std::span<const std::uint8_t> start = std::span{head}.first(in.Read(head));
    if (!LooksLikeSzdd(start)) {
        std::vector<std::uint8_t> bytes(archive::kMaxDirectoryEnd);
        std::ranges::copy(start, bytes.begin());
        bytes.resize(start.size() + in.Read(std::span{bytes}.subspan(start.size())));
        return {std::move(bytes), in.Size(), false};
    }
    const szdd::Header header = ExpandableHeader(start, path.string());
    std::vector<std::uint8_t> bytes;
    const szdd::StreamResult result =
        szdd::ExpandStream(BodyOf(in), [&bytes](std::span<const std::uint8_t> piece) {
            const std::size_t kept =
                std::min(piece.size(), archive::kMaxDirectoryEnd - bytes.size());
            bytes.insert(bytes.end(), piece.begin(), piece.begin() + kept);
            return true;
        });
    CheckExpansion(header, result.size, result.truncated, path.string());
    return {std::move(bytes), result.size, true};
}

// An archive given as itself or inside an SZDD file, whole in memory, and its directory,
// refused when the setup would refuse that.
struct LoadedArchive {
    std::vector<std::uint8_t> bytes;
    archive::Parsed parsed;
};

LoadedArchive LoadArchive(const fs::path& path, tools::Inputs& inputs) {
    std::vector<std::uint8_t> bytes = inputs.Read(path);
    if (LooksLikeSzdd(bytes)) {
        bytes = ExpandChecked(bytes, path.string());
    }
    archive::Parsed parsed = archive::Parse(bytes);
    if (!parsed) {
        throw std::runtime_error(path.string() + ": " + parsed.problem);
    }
    return {std::move(bytes), std::move(parsed)};
}

// The host path of an entry below `folder`: "\" separates folders, and the code page 1252
// name becomes UTF-8.
fs::path HostPath(const fs::path& folder, std::string_view name) {
    std::string relative = host::Cp1252ToUtf8(name);
    std::ranges::replace(relative, '\\', '/');
    return folder / relative;
}

// A UTF-8 byte-order mark, which some editors write at the start of a text file.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The entry names of the manifest `bytes` read from `path`: one per line in UTF-8 (a
// byte-order mark at the start skipped), blank lines and lines that start with "#" skipped, a
// CR before the line end ignored; each becomes code page 1252.
std::vector<std::string> ManifestNames(std::span<const std::uint8_t> bytes, const fs::path& path) {
    std::string_view text{reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::vector<std::string> names;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        std::string name = host::Utf8ToCp1252(line);
        if (host::Cp1252ToUtf8(name) != line) {
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
    tools::Inputs inputs;
    std::vector<std::string> names = ManifestNames(inputs.Read(manifest), manifest);
    // The uninstaller first, the rest in the manifest's order: a setup that stops after any
    // file has already installed what removes it.
    std::ranges::stable_partition(names, [](const std::string& name) {
        return names::SameIgnoringCase(name, kUninstallerFile);
    });
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
        contents.push_back(inputs.Read(sources.back()));
    }
    std::vector<archive::NamedBytes> entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries.push_back({names[i], contents[i]});
    }
    const archive::Built built = archive::Build(entries);
    if (!built) {
        throw std::runtime_error(built.problem);
    }
    const std::vector<std::uint8_t>& archive = built.file;
    if (!Report(manifest,
                tools::CheckInstallable(archive::Parse(archive).entries, archive.size()))) {
        throw Reported{};
    }
    const std::vector<fs::path> outputs(args.begin() + 2, args.end());
    for (const fs::path& output : outputs) {
        inputs.RefuseAsOutput(output);
    }
    tools::WriteFile(outputs[0], archive);
    if (outputs.size() == 2) {
        const std::string rule = DependencyRule(outputs[0], sources);
        tools::WriteFile(outputs[1],
                         {reinterpret_cast<const std::uint8_t*>(rule.data()), rule.size()});
    }
    return 0;
}

int List(const Arguments& args) {
    NeedArguments(args, 1, 1, "list");
    const fs::path path{args[0]};
    const ArchiveStart start = ReadArchiveStart(path);
    const archive::Parsed parsed = archive::Parse(start.bytes, start.size);
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
                    host::Cp1252ToUtf8(entry.name).c_str(), problem.empty() ? "" : "  <- ",
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

// Every entry is written to a new file beside its place first, and all of them get their names
// at the end: a failure part-way (a full disk, a link in the way) takes away what this run
// wrote and made, so that the folder holds the whole set or is as it was.
int Extract(const Arguments& args) {
    NeedArguments(args, 2, 2, "extract");
    tools::Inputs inputs;
    const LoadedArchive loaded = LoadArchive(fs::path{args[0]}, inputs);
    const fs::path folder{args[1]};
    tools::NewFolders folders;
    std::list<tools::OutputFile> files;
    // Each target, and whether something stood there before this extraction.
    std::vector<std::pair<fs::path, bool>> targets;
    folders.Make(folder);
    for (const archive::Entry& entry : loaded.parsed.entries) {
        const fs::path target = HostPath(folder, entry.name);
        RefuseLinksBelow(folder, target);
        inputs.RefuseAsOutput(target);
        folders.Make(target.parent_path());
        std::error_code ignored;
        targets.emplace_back(target, fs::exists(fs::symlink_status(target, ignored)));
        tools::OutputFile& file = files.emplace_back(target);
        file.Write(std::span{loaded.bytes}.subspan(entry.offset, entry.size));
        file.Close();
    }
    // A move that fails takes back the files that the moves before it put where none stood.
    auto target = targets.begin();
    try {
        for (tools::OutputFile& file : files) {
            file.Commit();
            ++target;
        }
    } catch (...) {
        for (auto made = targets.begin(); made != target; ++made) {
            std::error_code ignored;
            if (!made->second) {
                fs::remove(made->first, ignored);
            }
        }
        throw;
    }
    folders.Keep();
    return 0;
}

int Compress(const Arguments& args) {
    NeedArguments(args, 2, 2, "compress");
    const fs::path path{args[0]};
    const fs::path output{args[1]};
    tools::Inputs inputs;
    tools::InputFile in = inputs.Open(path);
    if (in.Size() > szdd::kMaxInputSize) {
        throw std::runtime_error(path.string() + ": " + std::to_string(in.Size()) +
                                 " bytes; an SZDD file holds less than 4 GiB");
    }
    inputs.RefuseAsOutput(output);
    szdd::EncoderInput input{in.Size()};
    in.ReadExactly(input.Data());
    tools::ProgressLine progress{"compress"};
    const std::vector<std::uint8_t> compressed = szdd::Compress(
        input, 0,
        [&progress](std::size_t done, std::size_t total) { progress.Update(done, total); });
    tools::WriteFile(output, compressed);
    return 0;
}

// Expands from file to file through the decoder's fixed buffers, so that neither file is held
// in memory. The output is what the body gives, as Windows' LZCopy and the format's other
// programs write it; a length that differs from the header's is a warning (verify refuses it).
int Expand(const Arguments& args) {
    NeedArguments(args, 2, 2, "expand");
    const fs::path input{args[0]};
    const fs::path output{args[1]};
    tools::Inputs inputs;
    tools::InputFile in = inputs.Open(input);
    std::array<std::uint8_t, szdd::kHeaderSize> start{};
    const szdd::Header header =
        ExpandableHeader(std::span{start}.first(in.Read(start)), input.string());
    inputs.RefuseAsOutput(output);
    tools::OutputFile out{output};
    const szdd::StreamResult result =
        szdd::ExpandStream(BodyOf(in), [&out](std::span<const std::uint8_t> bytes) {
            out.Write(bytes);
            return true;
        });
    out.Commit();
    if (const std::string problem = ExpansionProblem(header, result.size, result.truncated);
        !problem.empty()) {
        std::fprintf(stderr, "kartol-payload: %s: warning: %s; wrote what the body gives\n",
                     input.c_str(), problem.c_str());
    }
    return 0;
}

// What a well-formed file is, for the verify report; throws for a damaged one and for an
// archive that the setup cannot install.
std::string VerifyOne(const fs::path& path) {
    const ArchiveStart start = ReadArchiveStart(path);
    if (!archive::HasTestedMagic(start.bytes)) {
        if (start.compressed) {
            return "SZDD file";
        }
        throw std::runtime_error(path.string() + ": neither an SZDD file nor an archive");
    }
    const archive::Parsed parsed = archive::Parse(start.bytes, start.size);
    if (!parsed) {
        throw std::runtime_error(path.string() + ": " + parsed.problem);
    }
    if (!Report(path, tools::CheckInstallable(parsed.entries, start.size))) {
        throw Reported{};
    }
    return std::string{start.compressed ? "SZDD file holding an archive" : "archive"} + " of " +
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
