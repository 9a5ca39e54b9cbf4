// The kernel32 stand-ins: free space in clusters counted in 32 bits, and entering, creating
// and deleting, each with the result and last error that Win32 gives.
#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/posix/disk_space.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kGiB = 1024ULL * 1024 * 1024;
constexpr std::uint64_t kMaxDword = 0xFFFFFFFF;

std::uint64_t FreeBytes(const posix::ClusterFigures& f) {
    return std::uint64_t{f.freeClusters} * f.sectorsPerCluster * f.bytesPerSector;
}

std::uint64_t ClusterBytes(const posix::ClusterFigures& f) {
    return std::uint64_t{f.sectorsPerCluster} * f.bytesPerSector;
}

struct FiguresCase {
    std::uint64_t blockSize;
    std::uint64_t availableBlocks;
    std::uint64_t totalBlocks;
    posix::ClusterFigures expected;
};

void PrintTo(const FiguresCase& c, std::ostream* out) {
    *out << c.blockSize << " x " << c.availableBlocks << " of " << c.totalBlocks;
}

class ClusterFiguresTest : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(ClusterFiguresTest, MultiplyToTheHostsFreeBytes) {
    const FiguresCase& c = GetParam();
    const posix::ClusterFigures figures =
        posix::ClusterFiguresOf(c.blockSize, c.availableBlocks, c.totalBlocks);
    EXPECT_EQ(figures, c.expected);
    // Never more than the host has, and short of it by less than one cluster.
    const std::uint64_t hostFree = c.blockSize * c.availableBlocks;
    EXPECT_LE(FreeBytes(figures), hostFree);
    EXPECT_LT(hostFree - FreeBytes(figures), ClusterBytes(figures));
}

INSTANTIATE_TEST_SUITE_P(
    HostFigures, ClusterFiguresTest,
    ::testing::Values(
        FiguresCase{4096, 3750, 10000, {8, 512, 3750, 10000}},
        // A block that is no whole number of sectors is one sector of its own size.
        FiguresCase{1000, 15360, 20000, {1, 1000, 15360, 20000}},
        // More than 4 GiB: exact, since the fields multiply in 64 bits.
        FiguresCase{4096, 5 * kGiB / 4096, 8 * kGiB / 4096, {8, 512, 1310720, 2097152}},
        // Counts beyond 32 bits gather blocks into larger clusters until they fit.
        FiguresCase{1, 5 * kGiB, 6 * kGiB, {2, 1, 5 * kGiB / 2, 6 * kGiB / 2}},
        FiguresCase{4096, (1ULL << 33) + 3, 1ULL << 34, {64, 512, 1ULL << 30, 1ULL << 31}},
        FiguresCase{4096, kMaxDword, kMaxDword, {8, 512, kMaxDword, kMaxDword}}));

// What the drive holds before each case.
class Kernel32Test : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        fs::create_directories(DriveC() / "kartol" / "eis");
        std::ofstream{DriveC() / "kartol" / "deinst.log"} << "content";
        std::ofstream{DriveC() / "taken"} << "content";
    }
};

// The live figures of the temporary drive equal what statvfs says of its folder. Other
// programs write to the same disk meanwhile, so the figures are compared with a statvfs
// reading that did not change across the call.
TEST_F(Kernel32Test, FreeSpaceOfTheMappedFolder) {
    constexpr int kAttempts = 20;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct statvfs before {};
        struct statvfs after {};
        DWORD sectors = 0;
        DWORD bytes = 0;
        DWORD freeClusters = 0;
        DWORD total = 0;
        ASSERT_EQ(statvfs(DriveC().c_str(), &before), 0);
        ASSERT_TRUE(GetDiskFreeSpaceA("c:\\", &sectors, &bytes, &freeClusters, &total));
        ASSERT_EQ(statvfs(DriveC().c_str(), &after), 0);
        if (before.f_bavail != after.f_bavail) {
            continue;
        }
        const posix::ClusterFigures expected =
            posix::ClusterFiguresOf(after.f_frsize, after.f_bavail, after.f_blocks);
        EXPECT_EQ((posix::ClusterFigures{sectors, bytes, freeClusters, total}), expected);
        return;
    }
    GTEST_SKIP() << "the disk's free space kept changing";
}

enum class Operation { Enter, Create, Delete };

struct OperationCase {
    Operation operation;
    const char* path;
    // Below the drive's folder: what was entered, created or deleted; null when the call fails.
    const char* host;
    DWORD error = ERROR_SUCCESS;
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    constexpr const char* kNames[] = {"enter ", "create ", "delete "};
    *out << kNames[static_cast<int>(c.operation)] << ::testing::PrintToString(std::string{c.path});
}

class OperationTest : public Kernel32Test, public ::testing::WithParamInterface<OperationCase> {};

TEST_P(OperationTest, ResultAndLastError) {
    const OperationCase& c = GetParam();
    const fs::path before = fs::current_path();
    SetLastError(ERROR_SUCCESS);
    BOOL result = FALSE;
    switch (c.operation) {
        case Operation::Enter:
            result = SetCurrentDirectoryA(c.path);
            break;
        case Operation::Create:
            result = CreateDirectoryA(c.path, nullptr);
            break;
        case Operation::Delete:
            result = DeleteFileA(c.path);
            break;
    }
    EXPECT_EQ(result != FALSE, c.host != nullptr);
    if (c.host == nullptr) {
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(fs::current_path(), before);
    } else if (c.operation == Operation::Enter) {
        EXPECT_TRUE(fs::equivalent(fs::current_path(), DriveC() / c.host));
    } else if (c.operation == Operation::Create) {
        EXPECT_TRUE(fs::is_directory(DriveC() / c.host));
    } else {
        EXPECT_FALSE(fs::exists(DriveC() / c.host));
    }
    EXPECT_TRUE(fs::is_directory(DriveC() / "kartol" / "eis"));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OperationTest,
    ::testing::Values(
        OperationCase{Operation::Enter, "C:\\KARTOL", "kartol"},
        OperationCase{Operation::Enter, "C:\\KARTOL\\EIS\\", "kartol/eis"},
        OperationCase{Operation::Enter, "C:\\TAKEN\\", nullptr, ERROR_PATH_NOT_FOUND},
        OperationCase{Operation::Enter, "C:\\KARTOL\\MARS", nullptr, ERROR_FILE_NOT_FOUND},
        OperationCase{Operation::Enter, "KARTOL", nullptr, ERROR_PATH_NOT_FOUND},
        // New names are made as written, in the existing parent whatever its case.
        OperationCase{Operation::Create, "C:\\KARTOL\\klondike", "kartol/klondike"},
        OperationCase{Operation::Create, "C:\\Kartol\\NewYork\\", "kartol/NewYork"},
        // Anything of that name, a file too, is in the way.
        OperationCase{Operation::Create, "C:\\KARTOL\\EIS", nullptr, ERROR_ALREADY_EXISTS},
        OperationCase{Operation::Create, "C:\\TAKEN", nullptr, ERROR_ALREADY_EXISTS},
        OperationCase{Operation::Create, "C:\\MISSING\\KARTOL", nullptr, ERROR_PATH_NOT_FOUND},
        // Files only.
        OperationCase{Operation::Delete, "C:\\KARTOL\\DEINST.LOG", "kartol/deinst.log"},
        OperationCase{Operation::Delete, "C:\\KARTOL\\EIS", nullptr, ERROR_ACCESS_DENIED},
        OperationCase{Operation::Delete, "C:\\KARTOL\\kartol.un2", nullptr, ERROR_FILE_NOT_FOUND},
        OperationCase{Operation::Delete, "C:\\NOWHERE\\kartol.un2", nullptr,
                      ERROR_PATH_NOT_FOUND}));

}  // namespace
