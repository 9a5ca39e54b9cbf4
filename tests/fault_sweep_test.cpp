// A whole native install with one platform call failed at a time (first, second, middle, last
// two, or all of a rare operation) or a short payload resource, then with damaged payloads:
// success only when complete, else each file on disk complete and listed, each line's file
// there, nothing outside the target, and nothing left after the uninstaller.

#include <algorithm>
#include <set>
#include <sstream>

#include "formats/szdd_encoder.h"
#include "platform/posix/faults/fault_injection.h"
#include "support/damaged_archives.h"
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

// The damaged archives, SZDD-compressed, and damaged SZDD files, with how many of the two
// entries each installs: -1 for none, with the abort text.
std::vector<std::pair<Bytes, int>> HostilePayloads() {
    const auto Szdd = [](const Bytes& archive) { return szdd::Compress(archive); };
    std::vector<std::pair<Bytes, int>> payloads;
    for (const DamagedArchive& damaged : DamagedArchives()) {
        payloads.emplace_back(Szdd(damaged.bytes), damaged.installed);
    }
    // The SZDD file: cut in its header and in its body, a wrong magic. The expanded length that
    // the header gives is not what the expansion goes by: the body alone decides.
    const Bytes sound = Szdd(SoundArchive());
    // clang-format off
    payloads.insert(payloads.end(), {
        {Cut(sound, 13), -1}, {Cut(sound, sound.size() / 2), -1}, {Patched(sound, 0, 0), -1},
        {Patched(sound, 10, 1), 2}, {Patched(sound, 10, 0xFFFFFFFF), 2}});
    // clang-format on
    return payloads;
}

// The abort text unless the archive is sound enough to install, and no line for an entry not
// installed.
TEST_F(FaultSweepTest, HostilePayloads) {
    const std::vector<std::pair<Bytes, int>> hostile = HostilePayloads();
    for (std::size_t row = 0; row < hostile.size(); ++row) {
        SCOPED_TRACE("payload " + std::to_string(row));
        Restart();
        const auto& [payload, installed] = hostile[row];
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
