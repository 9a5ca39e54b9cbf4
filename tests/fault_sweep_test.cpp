// A whole native install with one platform call failed at a time (first, second, middle, last
// two, or all of a rare operation) or a short payload resource, then with damaged payloads:
// success only when complete, else each file on disk complete and listed, each line's file
// there, nothing outside the target, and nothing left after the uninstaller.

#include <algorithm>
#include <set>
#include <sstream>

#include "formats/payload_archive.h"
#include "formats/szdd_encoder.h"
#include "platform/posix/faults/fault_injection.h"
#include "support/setup_fixture.h"
#include "uninst/uninstall_flow.h"

namespace fs = std::filesystem;

namespace {

constexpr char kSuccess[] = "Die Installation wurde erfolgreich durchgef\xFChrt.";
constexpr char kLog[] = "kartol/deinst.log";
// Operations called more often than this are failed at chosen calls only.
constexpr std::size_t kEveryCallUpTo = 8;

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Drive C with each path in lower case, as the program's file system matches it.
std::map<std::string, std::string> Contents(const fs::path& drive) {
    std::map<std::string, std::string> contents;
    for (auto& [path, bytes] : FileTree(drive)) {
        contents[Lower(path)] = std::move(bytes);
    }
    return contents;
}

// The files that the log's "NC" lines name, as keys of Contents.
std::set<std::string> Listed(const std::string& log) {
    std::set<std::string> listed;
    std::istringstream lines{log};
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("NC ")) {
            std::string name = Lower(line.substr(3, line.size() - 4));
            std::ranges::replace(name, '\\', '/');
            listed.insert("kartol/" + name);
        }
    }
    return listed;
}

struct Site {
    posix::Api api;
    std::size_t occurrence;
    std::vector<std::uint64_t> answer;
};

std::vector<Site> Sites(const std::vector<posix::Api>& calls) {
    std::map<posix::Api, std::size_t> counts;
    for (const posix::Api api : calls) {
        ++counts[api];
    }
    std::vector<Site> sites;
    for (const auto& [api, count] : counts) {
        std::set<std::size_t> chosen{1, 2, count / 2, count - 1, count};
        for (std::size_t call = 1; call <= count; ++call) {
            if (count <= kEveryCallUpTo || chosen.contains(call)) {
                sites.push_back({api, call, {}});
            }
        }
    }
    sites.push_back({posix::Api::SizeofResource, 1, {1000}});
    return sites;
}

class FaultSweepTest : public SetupFixture {
  protected:
    bool Shown(const std::string& text) const {
        const std::vector<TestFrontEnd::Event> boxes = ui.MessageBoxes();
        return std::ranges::any_of(boxes, [&](const auto& box) { return box.text == text; });
    }
};

TEST_F(FaultSweepTest, EachCallFailedOnce) {
    posix::StartRecording();
    ui.PressEnter();
    ASSERT_EQ(RunSetup(), 1);
    const std::vector<posix::Api> calls = posix::RecordedCalls();
    const std::map<std::string, std::string> complete = Contents(DriveC());

    for (const Site& site : Sites(calls)) {
        SCOPED_TRACE("operation " + std::to_string(static_cast<int>(site.api)) + ", call " +
                     std::to_string(site.occurrence));
        Restart();
        posix::Inject(site.api, {.path = {},
                                 .answer = site.answer,
                                 .error = ERROR_ACCESS_DENIED,
                                 .occurrence = site.occurrence});
        ui.PressEnter();
        const int exitCode = RunSetup();
        posix::ClearInjections();
        std::map<std::string, std::string> left = Contents(DriveC());
        for (const auto& [path, bytes] : left) {
            EXPECT_TRUE(path.starts_with("kartol")) << path << " lies outside the target";
        }
        if (Shown(kSuccess)) {
            EXPECT_EQ(exitCode, 1);
            EXPECT_EQ(left, complete);
            continue;
        }
        const std::set<std::string> listed = Listed(left[kLog]);
        // A move that fails leaves the line of its entry without the file; nothing else may.
        std::size_t unmoved = site.api == posix::Api::MoveFileExA ? 1 : 0;
        for (const std::string& file : listed) {
            if (left.contains(file) || unmoved-- == 0) {
                EXPECT_EQ(left[file], complete.at(file)) << file << " is listed but not complete";
            }
        }
        for (const auto& [path, bytes] : left) {
            // An entry's temporary file goes with its failure, unless its deletion failed.
            const bool temporary =
                path == kLog ||
                (path.starts_with("kartol/kartol.un") &&
                 (path != "kartol/kartol.un3" || site.api == posix::Api::DeleteFileA));
            if (!path.ends_with('/') && !temporary) {
                EXPECT_TRUE(listed.contains(path)) << path << " is on disk but not listed";
            }
        }
        if (left.contains(kLog)) {
            ui.AnswerBox(IDYES);
            UninstallFrom("C:\\KARTOL\\", false);
            left = Contents(DriveC());
        }
        std::erase_if(left, [](const auto& entry) { return entry.first.ends_with('/'); });
        EXPECT_EQ(left, (std::map<std::string, std::string>{})) << "left after the removal";
    }
}

using Bytes = std::vector<std::uint8_t>;

// A payload of two entries as built, then one 32-bit field changed or the file cut short.
const Bytes kArchive =
    archive::Build(std::vector<archive::NamedBytes>{{"KARTOL.EXE", Bytes(300, 'k')},
                                                    {"EIS\\LEVEL001.BTN", Bytes(200, 'e')}})
        .file;
constexpr std::size_t kRecord = archive::kDirectoryOffset, kCount = archive::kHeaderSize;
constexpr std::size_t kOffset = archive::kNameFieldSize, kSize = kOffset + 4;

Bytes Cut(Bytes file, std::size_t size) {
    file.resize(size);
    return file;
}
const auto Szdd = [](const Bytes& archive) { return szdd::Compress(archive); };

// Damaged payloads, SZDD-compressed unless the damage is in the SZDD file itself, and how many
// of the two entries each installs: -1 for none, with the abort text.
// clang-format off
const std::vector<std::pair<Bytes, int>> kHostile = {
    // Cut short in every field: the magic, the count, a name, an offset, a size, the data.
    {Szdd(Cut(kArchive, 10)), -1}, {Szdd(Cut(kArchive, kCount + 2)), -1},
    {Szdd(Cut(kArchive, kRecord + 60)), -1}, {Szdd(Cut(kArchive, kRecord + kOffset + 2)), -1},
    {Szdd(Cut(kArchive, kRecord + kSize + 2)), -1}, {Szdd(Cut(kArchive, kArchive.size() - 1)), -1},
    // A count of 0 or below is an empty archive, installed as one.
    {Szdd(Patched(kArchive, kCount, 0)), 0}, {Szdd(Patched(kArchive, kCount, 0xFFFFFFFF)), 0},
    {Szdd(Patched(kArchive, kCount, 300)), -1}, {Szdd(Patched(kArchive, kCount, 301)), -1},
    {Szdd(Patched(kArchive, kCount, 0x7FFFFFFF)), -1},
    // Entries may share bytes: the reader follows each offset alone.
    {Szdd(Patched(kArchive, kRecord + archive::kRecordSize + kOffset, kRecord + 2 * archive::kRecordSize)), 2},
    {Szdd(Patched(kArchive, kRecord + kOffset, 0x7FFFFFFF)), -1},
    {Szdd(Patched(kArchive, kRecord + kSize, 0xFFFFFFF0)), -1},
    // The SZDD file: cut in its header and in its body, a wrong magic. The expanded length that
    // the header gives is not what the expansion goes by: the body alone decides.
    {Cut(Szdd(kArchive), 13), -1}, {Cut(Szdd(kArchive), Szdd(kArchive).size() / 2), -1},
    {Patched(Szdd(kArchive), 0, 0), -1}, {Patched(Szdd(kArchive), 10, 1), 2},
    {Patched(Szdd(kArchive), 10, 0xFFFFFFFF), 2},
};
// clang-format on

// The abort text unless the archive is sound enough to install, and no line for an entry not
// installed.
TEST_F(FaultSweepTest, HostilePayloads) {
    for (std::size_t row = 0; row < kHostile.size(); ++row) {
        SCOPED_TRACE("payload " + std::to_string(row));
        Restart();
        const auto& [payload, installed] = kHostile[row];
        const auto bytes = std::as_bytes(std::span{payload});
        posix::Inject(posix::Api::FindResourceA,
                      {.path = "#113", .answer = {}, .data = {bytes.begin(), bytes.end()}});
        ui.PressEnter();
        EXPECT_EQ(RunSetup(), 1);
        posix::ClearInjections();
        EXPECT_EQ(Shown(kSuccess), installed >= 0);
        std::map<std::string, std::string> left = Contents(DriveC());
        EXPECT_EQ(Listed(left[kLog]).size(), static_cast<std::size_t>(std::max(installed, 0)));
        for (const auto& [path, bytes] : left) {
            EXPECT_TRUE(path.starts_with("kartol")) << path << " lies outside the target";
        }
        ui.AnswerBox(IDYES);
        UninstallFrom("C:\\KARTOL\\", false);
        EXPECT_EQ(Contents(DriveC()), (std::map<std::string, std::string>{}))
            << "left after the removal";
    }
}

}  // namespace
