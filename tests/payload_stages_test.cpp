// Stages 2 and 3 on archives and resources made to order: files, log lines and answers.

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <ranges>
#include <span>
#include <vector>

#include "formats/payload_archive.h"
#include "formats/szdd_encoder.h"
#include "payload/expand_payload.h"
#include "payload/unpack_archive.h"
#include "platform/posix/faults/fault_injection.h"
#include "platform/posix/kernel32/last_error.h"
#include "state/process_state.h"
#include "support/damaged_archives.h"
#include "support/setup_fixture.h"
#include "targetdir/uninstall_log.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;
using Tree = std::map<std::string, std::string>;  // relative path -> contents

std::span<const std::uint8_t> Span(const Bytes& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

Bytes Pattern(std::size_t size, int seed) {
    Bytes out(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<char>((i * 7 + seed) % 251);
    }
    return out;
}

Bytes Archive(const std::vector<std::pair<std::string, Bytes>>& entries) {
    std::vector<archive::NamedBytes> named;
    for (const auto& [name, bytes] : entries) {
        named.push_back({name, Span(bytes)});
    }
    const std::vector<std::uint8_t> file = archive::Build(named).file;
    return {file.begin(), file.end()};
}

// Runs a stage with room for files of at most `room` bytes (0: no limit), as a full volume
// answers its writes.
int WithRoom(rlim_t room, const std::function<int()>& stage) {
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = room != 0 ? room : saved.rlim_cur;
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    const int result = stage();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    return result;
}

class PayloadStageTest : public SetupFixture {
  protected:
    fs::path Target() const { return DriveC() / "KARTOL"; }

    // The target as stage 1 leaves it, with the log open.
    void Prepare() {
        std::snprintf(InstallDir, sizeof InstallDir, "C:\\KARTOL\\");
        fs::create_directories(Target() / "res");
        ASSERT_TRUE(OpenUninstallLog());
    }

    // An empty drive C:, the target prepared, and `archive` in it as the expanded payload.
    fs::path PrepareWith(const Bytes& archive) {
        fs::remove_all(DriveC());
        fs::create_directory(DriveC());
        Prepare();
        fs::create_directory(Target() / "eis");
        WriteFile(Target() / "kartol.un2", archive);
        return Target() / "kartol.un2";
    }

    // Every file below the target (the log closed first), folders left out.
    Tree Files() {
        if (UninstallLog != nullptr) {
            std::fclose(UninstallLog);
            UninstallLog = nullptr;
        }
        Tree tree = FileTree(Target());
        std::erase_if(tree, [](const auto& entry) { return entry.first.ends_with('/'); });
        return tree;
    }
};

struct UnpackCase {
    const char* name;
    Bytes archive;
    int result;
    // The files that the stage wrote (the archive and log aside), and the log's lines.
    Tree written = {};
    std::string log = "";
    // Room for files on the volume (a file size limit stands in for it); 0 without a limit.
    rlim_t room = 0;
    // Zeros that follow the archive's bytes in its file, not held here (a sparse file).
    std::uintmax_t zerosAfter = 0;
};

const std::size_t kFirstRecord = archive::kDirectoryOffset;

std::vector<UnpackCase> UnpackCases() {
    std::vector<std::pair<std::string, Bytes>> sizes;
    Tree sized;
    std::string sizedLog;
    for (const std::size_t size : {0, 9'999, 10'000, 10'001, 10'004, 307'968}) {
        const std::string name = "S" + std::to_string(size);
        sizes.push_back({name, sized[name] = Pattern(size, static_cast<int>(size))});
        sizedLog += "NC " + name + "\r\n";
    }
    // The first entry's bytes stored last: records point at them wherever they lie.
    Bytes reordered = Archive({{"X", Pattern(5, 3)}, {"Y", Pattern(7, 4)}});
    std::rotate(reordered.begin() + kFirstRecord + 2 * archive::kRecordSize,
                reordered.begin() + kFirstRecord + 2 * archive::kRecordSize + 5, reordered.end());
    reordered = Patched(reordered, kFirstRecord + 128, 27 + 2 * 136 + 7);
    reordered = Patched(reordered, kFirstRecord + 136 + 128, 27 + 2 * 136);
    Bytes magicTail = Archive({});
    magicTail[10] = 'X';
    // clang-format off
    std::vector<UnpackCase> cases = {
        {"Sizes", Archive(sizes), 1, sized, sizedLog},
        {"OutOfOrder", reordered, 1, {{"X", Pattern(5, 3)}, {"Y", Pattern(7, 4)}}, "NC X\r\nNC Y\r\n"},
        {"SameNameTwice", Archive({{"A", Pattern(3, 1)}, {"a", Pattern(4, 2)}}), 1, {{"A", Pattern(4, 2)}},
         "NC A\r\nNC a\r\n"},
        {"MissingFolder", Archive({{"B", Pattern(3, 1)}, {"NONE\\C", Pattern(3, 2)}}), 0, {{"B", Pattern(3, 1)}},
         "NC B\r\n"},
        // The volume fills up in an entry: it goes without its line, the earlier ones stay.
        {"VolumeFull", Archive({{"A", Pattern(100, 1)}, {"BIG", Pattern(300'000, 2)}}), 0,
         {{"A", Pattern(100, 1)}}, "NC A\r\n", 200'000},
        {"OnlyMagicTested", magicTail, 1},
        // In the file, at the last position a signed 32-bit stream position reaches and beyond.
        {"At2GiB", Patched(Archive({{"A", "x"}}), kFirstRecord + 128, (1U << 31) - 1), 1, {{"A", Bytes(1, '\0')}},
         "NC A\r\n", 0, 1U << 31},
        {"Beyond2GiB", Patched(Archive({{"A", ""}}), kFirstRecord + 128, 1U << 31), 0, {}, "", 0, 1U << 31},
    };
    // clang-format on
    // A damaged archive installs the entries the setup can take from it, or nothing at all.
    for (const DamagedArchive& damaged : DamagedArchives()) {
        UnpackCase& row =
            cases.emplace_back(UnpackCase{damaged.name.c_str(),
                                          {damaged.bytes.begin(), damaged.bytes.end()},
                                          damaged.installed >= 0});
        const std::vector<archive::Entry> entries = archive::Parse(damaged.bytes).entries;
        for (const archive::Entry& entry :
             entries | std::views::take(std::max(damaged.installed, 0))) {
            // "EIS\\LEVEL001.BTN" lands in the content folder, made as "eis".
            const std::string path =
                entry.name.starts_with("EIS\\") ? "eis/" + entry.name.substr(4) : entry.name;
            row.written[path] = row.archive.substr(entry.offset, entry.size);
            row.log += "NC " + entry.name + "\r\n";
        }
    }
    return cases;
}

// Nothing is written outside the target directory.
TEST_F(PayloadStageTest, UnpacksWhatTheArchiveHolds) {
    for (const UnpackCase& c : UnpackCases()) {
        SCOPED_TRACE(c.name);
        const fs::path archivePath = PrepareWith(c.archive);
        fs::resize_file(archivePath, c.archive.size() + c.zerosAfter);
        EXPECT_EQ(WithRoom(c.room, [] { return UnpackArchive(nullptr); }), c.result);
        Tree expected = c.written;
        expected["deinst.log"] = c.log;
        if (c.result == 0) {
            fs::resize_file(archivePath, c.archive.size());
            expected["kartol.un2"] = c.archive;
        }
        EXPECT_EQ(Files(), expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(DriveC()), fs::directory_iterator()), 1);
    }
}

// `files`: the target afterwards, the archive with the number of its entries or "?" and its
// size when it cannot be read; `path`: the failing call's path, when it takes one.
struct ExpandCase {
    const char *name, *path;
    std::optional<posix::Api> failing;
    bool olderStoredFile;
    int result;
    std::string files;
    std::vector<std::uint64_t> answer = {};  // the failing call's answer instead of a failure
    rlim_t room = 0;                         // as for unpacking
    const char* refusal = nullptr;           // the end of the host's refusal that is noted
    std::string resource = {};               // the payload instead of the built one
};

TEST_F(PayloadStageTest, ExpandsTheEmbeddedPayload) {
    using enum posix::Api;
    const char* stored = "C:\\KARTOL\\kartol.un_";
    // clang-format off
    const ExpandCase cases[] = {
        {"Succeeds", "", std::nullopt, false, 1, "deinst.log kartol.un2:181"},
        {"NoResource", "", FindResourceA, false, 0, "deinst.log"},
        {"NotLoadable", "", LoadResource, false, 0, "deinst.log"},
        {"EmptyResource", "", SizeofResource, false, 0, "deinst.log"},
        {"StoredNotCreated", stored, OpenProgramStream, false, 0, "deinst.log"},
        {"OlderStoredNotExpanded", stored, OpenProgramStream, true, 0, "deinst.log kartol.un_"},
        {"SourceNotOpened", stored, LZOpenFileA, false, 0, "deinst.log kartol.un_"},
        {"DestinationNotOpened", "C:\\KARTOL\\kartol.un2", LZOpenFileA, false, 0, "deinst.log kartol.un_"},
        {"CopyFails", "", LZCopy, false, 0, "deinst.log kartol.un2:?0 kartol.un_"},
        {"StoredNotDeleted", stored, DeleteFileA, false, 0, "deinst.log kartol.un2:181 kartol.un_"},
        // Cut short on a full volume, though closing it succeeds.
        {"StoredCutShort", "", std::nullopt, false, 0, "deinst.log kartol.un_", {}, 4096,
         "KARTOL/kartol.un_: File too large"},
        // A short stored file is not noticed: its expansion decides, here for the unpacking. Cut in
        // the archive's magic text, it expands the same from every build's payload.
        {"ShortResource", "", SizeofResource, false, 1, "deinst.log kartol.un2:?14", {30}},
        {"HeaderOnly", "", SizeofResource, false, 1, "deinst.log kartol.un2:?0", {14}},
        // As on Windows, what the body gives, not the 5,237 bytes that its header states.
        {"HeaderStatesMore", "#113", FindResourceA, false, 1, "deinst.log kartol.un2:?20", {}, 0,
         nullptr, ReadFile(KARTOL_FIXTURES "/header_states_more.szdd")},
    };
    // clang-format on
    const std::vector<std::uint8_t> older = szdd::Compress(Span(Archive({{"OLD", Pattern(9, 9)}})));
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Target());
        posix::ClearInjections();
        Prepare();
        if (c.olderStoredFile) {
            WriteFile(Target() / "kartol.un_", Bytes(older.begin(), older.end()));
        }
        if (c.failing) {
            const auto data = std::as_bytes(std::span{c.resource});
            posix::Inject(*c.failing,
                          {.path = c.path, .answer = c.answer, .data = {data.begin(), data.end()}});
        }
        EXPECT_EQ(WithRoom(c.room, ExpandPayload), c.result);
        const std::optional<std::string> refusal = posix::TakeFirstRefusal();
        EXPECT_TRUE(c.refusal ? refusal && refusal->ends_with(c.refusal) : !refusal)
            << refusal.value_or("no refusal");
        std::string files;
        for (const auto& [name, bytes] : Files()) {
            const archive::Parsed parsed = archive::Parse(Span(bytes));
            files += (files.empty() ? "" : " ") + name;
            if (name == "kartol.un2") {
                files += std::string{parsed ? ":" : ":?"} +
                         std::to_string(parsed ? parsed.entries.size() : bytes.size());
            }
        }
        EXPECT_EQ(files, c.files);
    }
    // LZCopy's answer for that file, as Windows gives it: the 20 bytes that it wrote.
    WriteFile(DriveC() / "more.szdd", ReadFile(KARTOL_FIXTURES "/header_states_more.szdd"));
    OFSTRUCT records[2];
    std::string source = "C:\\more.szdd", destination = "C:\\more.txt";
    const INT from = ::LZOpenFileA(source.data(), &records[0], OF_READ);
    const INT to = ::LZOpenFileA(destination.data(), &records[1], OF_CREATE);
    EXPECT_EQ(::LZCopy(from, to), 20);
    LZClose(from);
    LZClose(to);
}

}  // namespace
