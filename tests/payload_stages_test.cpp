// Stages 2 and 3 on archives and resources made to order: which files and log lines each
// leaves, what it answers, and that a damaged archive installs nothing.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <filesystem>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formats/payload_archive.h"
#include "formats/szdd_encoder.h"
#include "payload/expand_payload.h"
#include "payload/unpack_archive.h"
#include "platform/posix/fault_injection.h"
#include "setup/process_state.h"
#include "support/setup_fixture.h"
#include "targetdir/uninstall_log.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Tree = std::map<std::string, std::string>;  // relative path -> contents

Bytes Pattern(std::size_t size, int seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
    }
    return out;
}

std::string Text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

Bytes Archive(const std::vector<std::pair<std::string, Bytes>>& entries) {
    std::vector<archive::NamedBytes> named;
    for (const auto& [name, bytes] : entries) {
        named.push_back({name, bytes});
    }
    return archive::Build(named);
}

// An archive as built, then changed at one byte offset (a 32-bit field) or cut short.
Bytes Patched(Bytes file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return file;
}

Bytes Cut(Bytes file, std::size_t size) {
    file.resize(size);
    return file;
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

    void Write(const std::string& name, const Bytes& bytes) const {
        WriteFile(Target() / name, Text(bytes));
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
    Tree written;
    std::string log;
};

const Bytes kSmall = Pattern(10'004, 1);
const Bytes kGood = Archive({{"RES\\NUMS.DAT", kSmall}, {"A.BIN", Pattern(9'999, 2)}});
const std::size_t kFirstRecord = archive::kDirectoryOffset;

std::vector<UnpackCase> UnpackCases() {
    std::vector<std::pair<std::string, Bytes>> sizes;
    for (const std::size_t size : {0, 9'999, 10'000, 10'001, 10'004, 307'968}) {
        sizes.push_back({"S" + std::to_string(size), Pattern(size, static_cast<int>(size))});
    }
    Tree sized;
    std::string sizedLog;
    for (const auto& [name, bytes] : sizes) {
        sized[name] = Text(bytes);
        sizedLog += "NC " + name + "\r\n";
    }
    // The first entry's bytes stored last: records point at them wherever they lie.
    Bytes reordered = Archive({{"X", Pattern(5, 3)}, {"Y", Pattern(7, 4)}});
    std::rotate(reordered.begin() + kFirstRecord + 2 * archive::kRecordSize,
                reordered.begin() + kFirstRecord + 2 * archive::kRecordSize + 5, reordered.end());
    reordered = Patched(Patched(reordered, kFirstRecord + 128, 27 + 2 * 136 + 7),
                        kFirstRecord + 136 + 128, 27 + 2 * 136);
    Bytes magicTail = Archive({});
    magicTail[10] = 'X';
    Bytes noNul = kGood;
    std::fill_n(noNul.begin() + kFirstRecord, archive::kNameFieldSize, 'N');
    const Tree nothing;
    // clang-format off
    return {
        {"Sizes", Archive(sizes), 1, sized, sizedLog},
        {"OutOfOrder", reordered, 1, {{"X", Text(Pattern(5, 3))}, {"Y", Text(Pattern(7, 4))}},
         "NC X\r\nNC Y\r\n"},
        {"SameNameTwice", Archive({{"A", Pattern(3, 1)}, {"a", Pattern(4, 2)}}), 1,
         {{"A", Text(Pattern(4, 2))}}, "NC A\r\nNC a\r\n"},
        {"MissingFolder", Archive({{"B", Pattern(3, 1)}, {"NONE\\C", Pattern(3, 2)}}), 0,
         {{"B", Text(Pattern(3, 1))}}, "NC B\r\n"},
        {"OnlyMagicTested", magicTail, 1, nothing, ""},
        {"CountMinusOne", Patched(Archive({}), archive::kHeaderSize, 0xFFFFFFFF), 1, nothing, ""},
        {"WrongMagic", Patched(kGood, 3, 0), 0, nothing, ""},
        {"Count301", Patched(kGood, archive::kHeaderSize, 301), 0, nothing, ""},
        {"HeaderCut", Cut(kGood, 20), 0, nothing, ""},
        {"CountCut", Cut(kGood, 25), 0, nothing, ""},
        {"RecordCut", Cut(kGood, kFirstRecord + 136 + 100), 0, nothing, ""},
        {"NameWithoutNul", noNul, 0, nothing, ""},
        {"DataCut", Cut(kGood, kGood.size() - 1), 0, nothing, ""},
        {"OffsetPastEnd", Patched(kGood, kFirstRecord + 136 + 128, 0x7FFFFFF0), 0, nothing, ""},
        {"SizeNear4GiB", Patched(kGood, kFirstRecord + 132, 0xFFFFFFFF), 0, nothing, ""},
    };
    // clang-format on
}

TEST_F(PayloadStageTest, UnpacksWhatTheArchiveHolds) {
    for (const UnpackCase& c : UnpackCases()) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Target());
        Prepare();
        Write("kartol.un2", c.archive);
        EXPECT_EQ(UnpackArchive(nullptr), c.result);
        Tree expected = c.written;
        expected["deinst.log"] = c.log;
        if (c.result == 0) {
            expected["kartol.un2"] = Text(c.archive);
        }
        EXPECT_EQ(Files(), expected);
    }
}

// Names that would leave the target directory or land on the setup's own files: none of the
// archive's files is written.
TEST_F(PayloadStageTest, RefusesNamesThatLeaveTheTarget) {
    for (const char* name :
         {"..\\OUT", "RES\\..\\..\\OUT", "\\OUT", "/OUT", "C:OUT", "D:\\OUT", "RES\\ . \\OUT", "..",
          "", "DEINST.LOG", "Kartol.Un2. ", "kartol.un3", "kartol.un_"}) {
        SCOPED_TRACE(name);
        fs::remove_all(DriveC());
        fs::create_directories(DriveC());
        Prepare();
        const Bytes file = Archive({{"FIRST", Pattern(4, 1)}});
        Bytes bad = file;
        std::fill_n(bad.begin() + kFirstRecord, archive::kNameFieldSize, 0);
        std::copy_n(name, std::strlen(name), bad.begin() + kFirstRecord);
        Write("kartol.un2", bad);
        EXPECT_EQ(UnpackArchive(nullptr), 0);
        EXPECT_EQ(Files(), (Tree{{"deinst.log", ""}, {"kartol.un2", Text(bad)}}));
        EXPECT_EQ(std::distance(fs::directory_iterator(DriveC()), fs::directory_iterator()), 1);
    }
}

// A volume that fills up while an entry is written (a file size limit stands in for it): the
// stage fails, the cut-short file is removed and gets no log line, the earlier ones stay.
TEST_F(PayloadStageTest, FailsWhenAFileCannotBeWrittenWhole) {
    constexpr rlim_t kRoom = 200'000;
    Prepare();
    const Bytes file = Archive({{"A", Pattern(100, 1)}, {"BIG", Pattern(300'000, 2)}});
    Write("kartol.un2", file);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = kRoom;
    setrlimit(RLIMIT_FSIZE, &limited);
    const int result = UnpackArchive(nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Files(), (Tree{{"A", Text(Pattern(100, 1))},
                             {"deinst.log", "NC A\r\n"},
                             {"kartol.un2", Text(file)}}));
}

struct ExpandCase {
    const char* name;
    std::optional<posix::Api> failing;
    const char* path = "";  // the failing call's path, when it takes one
    bool olderStoredFile = false;
    int result = 0;
    bool storedStays = true;
    bool archiveWritten = false;
};

TEST_F(PayloadStageTest, ExpandsTheEmbeddedPayload) {
    using posix::Api;
    const ExpandCase cases[] = {
        {"Succeeds", std::nullopt, "", false, 1, false, true},
        {"NoResource", Api::FindResourceA, "", false, 0, false},
        {"NotLoadable", Api::LoadResource, "", false, 0, false},
        {"EmptyResource", Api::SizeofResource, "", false, 0, false},
        {"StoredNotCreated", Api::OpenProgramStream, "C:\\KARTOL\\kartol.un_", false, 0, false},
        {"OlderStoredExpanded", Api::OpenProgramStream, "C:\\KARTOL\\kartol.un_", true, 1, false,
         true},
        {"SourceNotOpened", Api::LZOpenFileA, "C:\\KARTOL\\kartol.un_", false, 0},
        {"DestinationNotOpened", Api::LZOpenFileA, "C:\\KARTOL\\kartol.un2", false, 0},
        {"CopyFails", Api::LZCopy, "", false, 0, true, true},
        {"StoredNotDeleted", Api::DeleteFileA, "C:\\KARTOL\\kartol.un_", false, 0, true, true},
    };
    const Bytes older = szdd::Compress(Archive({{"OLD", Pattern(9, 9)}}));
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Target());
        posix::ClearInjections();
        Prepare();
        if (c.olderStoredFile) {
            Write("kartol.un_", older);
        }
        if (c.failing) {
            posix::Inject(*c.failing, {.path = c.path, .answer = {}});
        }
        EXPECT_EQ(ExpandPayload(), c.result);
        const Tree files = Files();
        EXPECT_EQ(files.contains("kartol.un_"), c.storedStays);
        EXPECT_EQ(files.contains("kartol.un2"), c.archiveWritten || c.failing == Api::LZCopy);
        if (c.archiveWritten && c.failing != Api::LZCopy) {
            const Bytes archive(files.at("kartol.un2").begin(), files.at("kartol.un2").end());
            EXPECT_TRUE(archive::Parse(archive));
            EXPECT_EQ(archive::Parse(archive).entries.size(), c.olderStoredFile ? 1U : 181U);
        }
    }
}

}  // namespace
