// GetDiskFreeSpaceA and GetVolumeInformationA over statvfs on the folder that a drive letter
// maps to.
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <optional>
#include <ranges>
#include <utility>

#include "disk_space.h"
#include "drive_map.h"
#include "drive_settings.h"
#include "formats/program_names.h"
#include "last_error.h"

namespace posix {

namespace {

constexpr std::uint64_t kSectorSize = 512;
constexpr std::uint64_t kMaxField = std::numeric_limits<DWORD>::max();

// Positions of the chosen answers in an injection, in the order of the call's arguments.
enum AnswerField : std::size_t {
    kAnswerSectorsPerCluster,
    kAnswerBytesPerSector,
    kAnswerFreeClusters,
    kAnswerTotalClusters,
    kAnswerFieldCount,
};

DWORD Field(std::uint64_t value) {
    return static_cast<DWORD>(std::min(value, kMaxField));
}

// "X:\" or "X:/": the only argument the call accepts, as Win32 wants a drive root with its
// backslash.
bool IsDriveRoot(std::string_view root) {
    return root.size() == names::kDriveRootLength && root[1] == ':' &&
           names::IsPathSeparator(root[2]);
}

// The folder behind a drive root, or false with the Win32 error set.
std::optional<std::filesystem::path> RootFolder(std::string_view root) {
    if (!IsDriveRoot(root)) {
        Fail(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    std::optional<std::filesystem::path> folder = DriveFolder(root[0]);
    if (!folder) {
        Fail(ERROR_PATH_NOT_FOUND);
    }
    return folder;
}

// statvfs of a drive root's folder, or false with the Win32 error set.
bool StatDrive(std::string_view root, struct statvfs& host) {
    const std::optional<std::filesystem::path> folder = RootFolder(root);
    if (!folder) {
        return false;
    }
    if (statvfs(folder->c_str(), &host) != 0) {
        return Fail(ErrorFromErrno(errno, *folder));
    }
    return true;
}

ClusterFigures InjectedFigures(const Injection& injection) {
    std::uint64_t answer[kAnswerFieldCount] = {};
    std::ranges::copy(injection.answer | std::views::take(kAnswerFieldCount), answer);
    return {Field(answer[kAnswerSectorsPerCluster]), Field(answer[kAnswerBytesPerSector]),
            Field(answer[kAnswerFreeClusters]), Field(answer[kAnswerTotalClusters])};
}

}  // namespace

ClusterFigures ClusterFiguresOf(std::uint64_t blockSize, std::uint64_t availableBlocks,
                                std::uint64_t totalBlocks) {
    std::uint64_t blocksPerCluster = 1;
    while (std::max(availableBlocks, totalBlocks) / blocksPerCluster > kMaxField) {
        blocksPerCluster *= 2;
    }
    const bool wholeSectors = blockSize >= kSectorSize && blockSize % kSectorSize == 0;
    const std::uint64_t bytesPerSector = wholeSectors ? kSectorSize : blockSize;
    const std::uint64_t sectorsPerBlock = wholeSectors ? blockSize / kSectorSize : 1;
    return {Field(sectorsPerBlock * blocksPerCluster), Field(bytesPerSector),
            Field(availableBlocks / blocksPerCluster), Field(totalBlocks / blocksPerCluster)};
}

}  // namespace posix

BOOL GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD freeClusters, LPDWORD totalClusters) {
    const std::string_view root = posix::PathArgument(rootPath);
    posix::ClusterFigures figures;
    if (const posix::Injection* injection =
            posix::FindInjection(posix::Api::GetDiskFreeSpaceA, root)) {
        if (injection->answer.empty()) {
            return posix::Fail(injection->error);
        }
        figures = posix::InjectedFigures(*injection);
    } else {
        struct statvfs host {};
        if (!posix::StatDrive(root, host)) {
            return FALSE;
        }
        // Some file systems leave the fragment size 0 and give only the block size.
        const std::uint64_t blockSize = host.f_frsize != 0 ? host.f_frsize : host.f_bsize;
        figures = posix::ClusterFiguresOf(blockSize, host.f_bavail, host.f_blocks);
    }
    // Win32 lets a caller pass null for any figure it does not want.
    for (const auto& [out, value] : {std::pair{sectorsPerCluster, figures.sectorsPerCluster},
                                     std::pair{bytesPerSector, figures.bytesPerSector},
                                     std::pair{freeClusters, figures.freeClusters},
                                     std::pair{totalClusters, figures.totalClusters}}) {
        if (out != nullptr) {
            *out = value;
        }
    }
    return TRUE;
}

// Of the volume's figures only the file system flags, and of them only whether the drive's
// folder lies on a read-only file system: nothing else is asked for, and a request for the
// name, serial number, name length or file system is refused.
BOOL GetVolumeInformationA(LPCSTR rootPath, LPSTR volumeName, DWORD, LPDWORD serialNumber,
                           LPDWORD maxComponentLength, LPDWORD fileSystemFlags,
                           LPSTR fileSystemName, DWORD) {
    if (volumeName != nullptr || serialNumber != nullptr || maxComponentLength != nullptr ||
        fileSystemName != nullptr) {
        return posix::Fail(ERROR_INVALID_PARAMETER);
    }
    const std::string_view root = posix::PathArgument(rootPath);
    DWORD flags = 0;
    if (const posix::Injection* injection =
            posix::FindInjection(posix::Api::GetVolumeInformationA, root)) {
        if (injection->answer.empty()) {
            return posix::Fail(injection->error);
        }
        flags = static_cast<DWORD>(injection->answer.front());
    } else {
        struct statvfs host {};
        if (!posix::StatDrive(root, host)) {
            return FALSE;
        }
        flags = (host.f_flag & ST_RDONLY) != 0 ? FILE_READ_ONLY_VOLUME : 0;
    }
    if (fileSystemFlags != nullptr) {
        *fileSystemFlags = flags;
    }
    return TRUE;
}
