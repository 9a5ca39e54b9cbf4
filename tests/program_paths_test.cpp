// Program paths on the host, the default drive C:, and the stream, disk and folder calls on them.

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <tuple>

#include "platform/platform.h"
#include "platform/posix/kernel32/disk_space.h"
#include "platform/posix/kernel32/drive_map.h"
#include "platform/posix/kernel32/drive_settings.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;
constexpr std::uint64_t kMaxDword = 0xFFFFFFFF;

class ProgramPathTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        // As the setup makes them, other cases, a file, a UTF-8 name, two differing in case.
        for (const char* folder : {"KARTOL", "eis", "Klondike", "m\xC3\xBCll", "Data", "data"}) {
            fs::create_directory(DriveC() / folder);
        }
        std::ofstream{DriveC() / "README.txt"} << "x";
        // An open that waits for a FIFO's other end would hang the test; the alarm ends it.
        alarm(10);
    }
    void TearDown() override {
        alarm(0);
        SetupFixture::TearDown();
    }
    fs::path LogFile() const { return DriveC() / "KARTOL" / "deinst.log"; }
};

// A program path, " =>", and where it lies below the folder of C: or the error (ERROR_...) it gets.
const char* const kMappings[] = {
    // Existing components are found without regard to case; new ones are kept as written. An
    // exact match wins; of several others the first in byte order.
    "C:\\EIS\\LEVEL001.BTN => eis/LEVEL001.BTN", "c:\\klondike => Klondike",
    "C:\\readme.TXT => README.txt", "C:\\NEU\\Eis => NEU/Eis", "C:\\data => data",
    "C:\\Data => Data", "C:\\DATA => Data",
    // Code page 1252 names become UTF-8, and their letters fold too: Ü finds ü.
    "C:\\M\xDCLL => m\xC3\xBCll", "C:\\\xC4RGER => \xC3\x84RGER",
    // Both separators, doubled ones, a final one, and "."; ".." never leaves the drive's folder.
    "C:/eis/x => eis/x", "C:\\\\eis\\/\\x\\\\ => eis/x", "C:\\.\\eis\\.\\x => eis/x", "C:\\ =>",
    "C:\\eis\\..\\klondike => Klondike", "C:\\..\\..\\..\\etc\\passwd => etc/passwd",
    "C:\\eis\\..\\..\\x\\..\\..\\y => y",
    // The end of the path loses every space and dot, also after "." and ".." are resolved, and
    // ".. " is no ".."; before a separator a name loses one single dot, and nothing else.
    "C:\\KARTOL. => KARTOL", "C:\\kartol . . => KARTOL", "C:\\KARTOL \\. => KARTOL",
    "C:\\KARTOL\\deinst.log.  => KARTOL/deinst.log", "C:\\KARTOL \\x\\.. => KARTOL",
    "C:\\KARTOL\\..  => KARTOL", "C:\\KARTOL.\\deinst.log => KARTOL/deinst.log",
    "C:\\KARTOL \\deinst.log => KARTOL /deinst.log", "C:\\KARTOL..\\x => KARTOL../x",
    "C:\\...\\x => .../x",
    // Refused even when missing: characters the program's file system does not allow, and a
    // device's name as the last name, in any case, with an extension, dots or spaces.
    "C:\\KAR*TOL\\ => INVALID_NAME", "C:\\eis\\a\"b => INVALID_NAME", "C:\\a:b => INVALID_NAME",
    "C:\\a?b => INVALID_NAME", "C:\\a\x01z => INVALID_NAME", "C:\\NUL => INVALID_NAME",
    "C:\\KARTOL\\con.txt => INVALID_NAME", "C:\\KARTOL\\Lpt1 .log => INVALID_NAME",
    "C:\\aux.. => INVALID_NAME", "C:\\PRN   => INVALID_NAME", "C:\\COM9 => INVALID_NAME",
    "C:\\COM\xB9 => INVALID_NAME",
    // A refused name that ".." takes away is gone; a device's name before a separator or ".",
    // other numbers and longer names are names.
    "C:\\a*b\\..\\eis => eis", "C:\\NUL\\x => NUL/x", "C:\\KARTOL\\CON\\ => KARTOL/CON",
    "C:\\NUL\\. => NUL", "C:\\COM0 => COM0", "C:\\LPT10 => LPT10", "C:\\CON1 => CON1",
    "C:\\CONSOLE.txt => CONSOLE.txt",
    // Only absolute drive paths; a letter with no folder behind it is a drive that does not exist.
    " => PATH_NOT_FOUND", "C: => PATH_NOT_FOUND", "C:eis => PATH_NOT_FOUND",
    "eis\\x => PATH_NOT_FOUND", "\\\\server\\share\\x => PATH_NOT_FOUND", "1:\\x => PATH_NOT_FOUND",
    "\xC4:\\x => PATH_NOT_FOUND", "Q:\\x => PATH_NOT_FOUND"};

TEST_F(ProgramPathTest, MapsOntoTheDriveFolder) {
    for (const std::string row : kMappings) {
        const std::size_t arrow = row.find(" =>");
        const std::string host = row.substr(std::min(arrow + 4, row.size()));
        const posix::MappedPath mapped = posix::MapProgramPath(row.substr(0, arrow).c_str());
        const DWORD error = host == "INVALID_NAME"     ? ERROR_INVALID_NAME
                            : host == "PATH_NOT_FOUND" ? ERROR_PATH_NOT_FOUND
                                                       : ERROR_SUCCESS;
        EXPECT_EQ(mapped.error, error) << row;
        if (error == ERROR_SUCCESS) {
            // The drive's own folder, without a separator after it, for the root.
            EXPECT_EQ(mapped.host, host.empty() ? DriveC() : DriveC() / host) << row;
        }
    }
}

// What the mapping keeps of a folder holds only while nobody else changes it: names that
// another program makes or removes between two lookups are seen by the second, in a folder
// just changed and in one unchanged for an hour; the program's own changes are seen at once.
TEST_F(ProgramPathTest, FolderChangedBehindItsBack) {
    const fs::path folder = DriveC() / "spiel";
    const auto mapped = [] { return posix::MapProgramPath("C:\\SPIEL\\datei").host; };
    for (const bool old : {false, true}) {
        fs::create_directory(folder);
        if (old) {
            fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::hours{1});
        }
        EXPECT_EQ(mapped(), folder / "datei") << old;
        WriteFile(folder / "DATEI", "");
        EXPECT_EQ(mapped(), folder / "DATEI") << old;
        fs::rename(folder / "DATEI", folder / "Datei");
        EXPECT_EQ(mapped(), folder / "Datei") << old;
        ASSERT_TRUE(DeleteFileA("C:\\SPIEL\\DATEI"));
        EXPECT_EQ(mapped(), folder / "datei") << old;
        fs::remove_all(folder);
    }
}

// A setting that names no folder (a missing one, a file, an empty value) is no drive. A relative
// one keeps naming the same folder while the setup changes its working directory.
TEST_F(ProgramPathTest, OtherLettersMapThroughTheirVariable) {
    const fs::path folderA = DriveC() / "host-a";
    fs::create_directory(folderA);
    posix::MapDrive('A', folderA);
    EXPECT_EQ(posix::MapProgramPath("a:\\Programme").host, folderA / "Programme");
    for (const fs::path& notAFolder : {DriveC() / "missing", DriveC() / "README.txt", fs::path{}}) {
        posix::MapDrive('A', notAFolder);
        EXPECT_EQ(posix::MapProgramPath("A:\\x").error, ERROR_PATH_NOT_FOUND) << notAFolder;
        EXPECT_FALSE(posix::DriveFolder('A')) << notAFolder;
    }
    posix::MapDrive('A', fs::relative(folderA));
    fs::current_path(DriveC() / "eis");
    EXPECT_EQ(fs::weakly_canonical(posix::MapProgramPath("A:\\x").host),
              fs::weakly_canonical(folderA / "x"));
    // The settings a program hands the program manager, which takes them in place of its own
    // for the conversation: a line that names no absolute folder counts for none; Z: is the
    // host's root unless set.
    const fs::path folderD = DriveC() / "d";
    fs::create_directory(folderD);
    posix::MapDrive('D', folderD);
    const std::string settings = posix::DriveSettings();
    posix::ForgetDriveSettings();
    EXPECT_FALSE(posix::DriveFolder('D'));
    EXPECT_EQ(posix::DriveFolder('Z'), fs::path{"/"});
    const std::string absolute = folderD.string();
    posix::TakeDriveSettings(settings + "E=d\nf=" + absolute + "\nZ=" + absolute);
    EXPECT_EQ(posix::DriveFolder('D'), folderD);
    EXPECT_FALSE(posix::DriveFolder('E'));
    EXPECT_EQ(posix::DriveFolder('F'), folderD);
    EXPECT_EQ(posix::DriveFolder('Z'), folderD);
}

// XDG_DATA_HOME and HOME below `user` (null: unset; "./": relative, not to be used), and drive C:
// below it (null: none). KARTOL_DRIVE_C unset or empty is the same.
TEST_F(ProgramPathTest, DefaultDriveCIsMadeInTheUserDataFolder) {
    const char* const kEnvironments[][3] = {
        {"data", "home", "data/vemo-kartol/drive_c"},
        {nullptr, "home", "home/.local/share/vemo-kartol/drive_c"},
        {"./data", "home", "home/.local/share/vemo-kartol/drive_c"},
        {nullptr, nullptr, nullptr}};
    const fs::path base = DriveC() / "user";
    auto setting = [&](const char* value) -> Setting {
        return value == nullptr ? Setting{} : value[0] == '.' ? value : (base / value).string();
    };
    for (const auto& [xdgDataHome, home, expected] : kEnvironments) {
        SetVariable("XDG_DATA_HOME", setting(xdgDataHome));
        SetVariable("HOME", setting(home));
        for (const Setting& driveSetting : {Setting{}, Setting{""}}) {
            SetVariable("KARTOL_DRIVE_C", driveSetting);
            const std::optional<fs::path> folder = posix::DriveFolder('C');
            const posix::MappedPath mapped = posix::MapProgramPath("C:\\KARTOL");
            EXPECT_EQ(mapped.error, expected ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND);
            EXPECT_EQ(folder.value_or("none"), expected ? base / expected : "none");
            if (expected != nullptr) {
                EXPECT_TRUE(fs::is_directory(base / expected));
                EXPECT_EQ(mapped.host, base / expected / "KARTOL");
            }
        }
    }
}

enum Kind { Nothing, Fifo, Device, Directory, RegularFile };

// Opening fails at once with the path's error, also for things that are not files.
TEST_F(ProgramPathTest, OpenFailsAtOnceWithTheErrorOfThePath) {
    // The path below the drive's root, the mode, what lies there and the error.
    // clang-format off
    const struct { const char* path; const char* mode; Kind kind; DWORD error; } kCases[] = {
        {"MISSING\\deinst.log", "wt", Nothing, ERROR_PATH_NOT_FOUND},
        {"KARTOL\\kartol.un2", "rb", Nothing, ERROR_FILE_NOT_FOUND}, {"KARTOL", "wt", Nothing, ERROR_ACCESS_DENIED},
        {"KARTOL\\deinst.log", "wt", Fifo, ERROR_ACCESS_DENIED}, {"KARTOL\\kartol.un_", "wb", Fifo, ERROR_ACCESS_DENIED},
        {"KARTOL\\kartol.un2", "rb", Fifo, ERROR_ACCESS_DENIED}, {"KARTOL\\KARTOL.EXE", "wb", Device, ERROR_ACCESS_DENIED},
        {"KARTOL\\kartol.un_", "rb", Device, ERROR_ACCESS_DENIED}, {"KARTOL\\eis", "rb", Directory, ERROR_ACCESS_DENIED},
        {"KARTOL\\deinst.log", "x", RegularFile, ERROR_INVALID_PARAMETER}};
    // clang-format on
    for (const auto& c : kCases) {
        const fs::path host = posix::MapProgramPath("C:\\"s + c.path).host;
        if (c.kind == Fifo) {
            ASSERT_EQ(mkfifo(host.c_str(), S_IRUSR | S_IWUSR), 0);
        } else if (c.kind == Device) {
            fs::create_symlink("/dev/null", host);
        } else if (c.kind == Directory) {
            fs::create_directory(host);
        } else if (c.kind == RegularFile) {
            std::ofstream{host} << "x";
        }
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(OpenProgramStream(("C:\\"s + c.path).c_str(), c.mode), nullptr) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path << " " << c.mode;
        if (c.kind != Nothing) {
            fs::remove(host);
        }
    }
    // LZ32 keeps the full path in a record of 128 bytes: one that leaves no room for the
    // terminator is refused, however short the file's own name.
    for (std::string path :
         {"C:\\KARTOL\\" + std::string(117, 'x'), "C:\\" + std::string(125, 'x')}) {
        OFSTRUCT record{};
        const INT handle = LZOpenFileA(path.data(), &record, OF_CREATE);
        EXPECT_EQ(handle < 0, path.size() == 128) << path.size();
        LZClose(handle);
    }
}

// Text mode (also with no "b") writes CR LF for every LF, keeping a CR there; binary mode writes
// bytes as they are. Writing empties an existing file; appending keeps it.
TEST_F(ProgramPathTest, StreamsWriteTheBytesOfTheirMode) {
    // clang-format off
    // The mode, the file's bytes before it is opened (null: new), written, then in the file.
    const struct { const char* mode; const char* before; std::string written, expected; } kCases[] = {
        {"wt", nullptr, "1 1\n", "\x31\x20\x31\x0D\x0A"}, {"w", nullptr, "1 0\n", "1 0\r\n"},
        {"wt", nullptr, "a\r\nb", "a\r\r\nb"}, {"wb", nullptr, "1 1\n\r\x1A\0x"s, "1 1\n\r\x1A\0x"s},
        {"wt", "old log\r\n", "0\n", "0\r\n"}, {"ab", "1 1\r\n", "x\n", "1 1\r\nx\n"},
        {"at", "1 1\r\n", "NC uninst.exe\n", "1 1\r\nNC uninst.exe\r\n"}};
    // clang-format on
    for (const auto& c : kCases) {
        fs::remove(LogFile());
        if (c.before != nullptr) {
            std::ofstream{LogFile(), std::ios::binary} << c.before;
        }
        FILE* stream = OpenProgramStream("C:\\KARTOL\\deinst.log", c.mode);
        ASSERT_NE(stream, nullptr) << c.mode;
        EXPECT_EQ(std::fwrite(c.written.data(), 1, c.written.size(), stream), c.written.size());
        EXPECT_EQ(std::fclose(stream), 0);
        EXPECT_EQ(ReadFile(LogFile()), c.expected) << c.mode << " " << c.written;
        // Only the product's programs become executable.
        EXPECT_EQ(fs::status(LogFile()).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
}

// A file replaces another only with MOVEFILE_REPLACE_EXISTING, never a folder or a read-only file,
// and goes to another file system (/dev/shm, in memory, where there is one) only with COPY_ALLOWED.
TEST_F(ProgramPathTest, MoveFollowsItsFlags) {
    std::string elsewhere = "/dev/shm/kartol-move-XXXXXX";
    const bool otherVolume = mkdtemp(elsewhere.data()) != nullptr;
    if (otherVolume) {
        fs::create_directory_symlink(elsewhere, DriveC() / "ANDERS");
    }
    WriteFile(DriveC() / "KARTOL/alt", "alt");
    fs::permissions(DriveC() / "KARTOL/alt", fs::perms::owner_read);
    // clang-format off
    constexpr DWORD kReplace = MOVEFILE_REPLACE_EXISTING, kCopy = MOVEFILE_COPY_ALLOWED;
    const struct { const char* to; DWORD flags, error; } kCases[] = {
        {"C:\\KARTOL\\alt", kReplace, ERROR_ACCESS_DENIED}, {"C:\\eis", kReplace, ERROR_ACCESS_DENIED},
        {"C:\\README.txt", 0, ERROR_ALREADY_EXISTS}, {"C:\\MISSING\\x", kReplace, ERROR_PATH_NOT_FOUND},
        {"C:\\x", kCopy << 1, ERROR_INVALID_PARAMETER}, {"C:\\README.txt", kReplace, ERROR_SUCCESS},
        {"C:\\ANDERS\\x", kReplace, ERROR_NOT_SAME_DEVICE}, {"C:\\ANDERS\\x", kCopy, ERROR_SUCCESS}};
    // clang-format on
    for (const auto& c : kCases) {
        if (std::string_view{c.to}.starts_with("C:\\ANDERS") && !otherVolume) {
            continue;
        }
        WriteFile(DriveC() / "neu", "neu");
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MoveFileExA("C:\\neu", c.to, c.flags), c.error == ERROR_SUCCESS) << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.to << " " << c.flags;
        EXPECT_EQ(fs::exists(DriveC() / "neu"), c.error != ERROR_SUCCESS) << c.to;
    }
    if (otherVolume) {
        EXPECT_EQ(ReadFile(fs::path{elsewhere} / "x"), "neu");
        fs::remove_all(elsewhere);
    }
}

// Win32's answers by buffer size: the Windows directory's length without the terminator when it
// fits, else the size needed with the buffer untouched; the program's own path (on the first
// drive that holds it) cut to fit with its terminator, the buffer's size returned when cut.
TEST_F(ProgramPathTest, SystemPathsByBufferSize) {
    char buffer[20] = "unchanged";
    EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), 11u);
    EXPECT_EQ(GetWindowsDirectoryA(buffer, 10), 11u);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(GetWindowsDirectoryA(buffer, 11), 10u);
    EXPECT_STREQ(buffer, "C:\\WINDOWS");
    const fs::path program = fs::canonical("/proc/self/exe");
    posix::MapDrive('B', program.parent_path().parent_path());
    posix::MapDrive('A', program.parent_path());
    const std::string path = "A:\\" + program.filename().string();
    const auto whole = static_cast<DWORD>(path.size());
    const std::tuple<DWORD, DWORD, std::string> kCases[] = {
        {0, 0, "C:\\WINDOWS"}, {1, 1, ""}, {4, 4, "A:\\"}, {whole + 1, whole, path}};
    for (const auto& [size, result, text] : kCases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, size), result) << size;
        EXPECT_EQ(GetLastError(), size > whole ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER) << size;
        EXPECT_EQ(buffer, text) << size;
    }
}

// Host blocks as clusters: never more than the host has, short of it by less than a cluster.
TEST(ClusterFiguresTest, MultiplyToTheHostsFreeBytes) {
    // clang-format off
    // A block that is no whole number of sectors is one sector of its own size; more than 4 GiB
    // is exact, as the fields multiply in 64 bits; counts beyond 32 bits gather blocks into
    // larger clusters until they fit.
    const struct { std::uint64_t blockSize, available, total; posix::ClusterFigures expected; } kCases[] = {
        {4096, 3750, 10000, {8, 512, 3750, 10000}}, {1000, 15360, 20000, {1, 1000, 15360, 20000}},
        {4096, 5 * kGiB / 4096, 8 * kGiB / 4096, {8, 512, 1310720, 2097152}},
        {1, 5 * kGiB, 6 * kGiB, {2, 1, 5 * kGiB / 2, 6 * kGiB / 2}},
        {4096, (1ULL << 33) + 3, 1ULL << 34, {64, 512, 1ULL << 30, 1ULL << 31}},
        {4096, kMaxDword, kMaxDword, {8, 512, kMaxDword, kMaxDword}}};
    // clang-format on
    for (const auto& c : kCases) {
        EXPECT_EQ(posix::ClusterFiguresOf(c.blockSize, c.available, c.total), c.expected)
            << c.blockSize << " x " << c.available;
    }
}

// The live figures of the temporary drive equal statvfs's of its folder, in a reading that did not
// change across the call: other programs write to the same disk meanwhile.
TEST_F(ProgramPathTest, FreeSpaceOfTheMappedFolder) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        struct statvfs before = {}, after = {};
        DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
        ASSERT_TRUE(statvfs(DriveC().c_str(), &before) == 0 &&
                    GetDiskFreeSpaceA("c:\\", &sectors, &bytes, &freeClusters, &total) &&
                    statvfs(DriveC().c_str(), &after) == 0);
        if (before.f_bavail == after.f_bavail) {
            EXPECT_EQ((posix::ClusterFigures{sectors, bytes, freeClusters, total}),
                      posix::ClusterFiguresOf(after.f_frsize, after.f_bavail, after.f_blocks));
            return;
        }
    }
    GTEST_SKIP() << "the disk's free space kept changing";
}

}  // namespace
