// The free-space figures of GetDiskFreeSpaceA, made from what statvfs says of a drive's folder.
#ifndef KARTOL_PLATFORM_POSIX_DISK_SPACE_H
#define KARTOL_PLATFORM_POSIX_DISK_SPACE_H

#include <cstdint>

#include "platform/posix/include/win32.h"

namespace posix {

// The four 32-bit fields of GetDiskFreeSpaceA.
struct ClusterFigures {
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;

    bool operator==(const ClusterFigures&) const = default;
};

// A cluster is one host block of `blockSize` bytes (statvfs's f_frsize), split into 512-byte
// sectors where it divides evenly, so that free clusters x sectors per cluster x bytes per
// sector is exactly the space an unprivileged program may use (f_bavail blocks). The product
// is for the caller to take in 64 bits; more than 4 GiB needs nothing else. Only when a block
// count does not fit in 32 bits are blocks gathered into larger clusters, doubling their size
// until both counts fit: the free figure then falls short of the truth by less than a cluster.
ClusterFigures ClusterFiguresOf(std::uint64_t blockSize, std::uint64_t availableBlocks,
                                std::uint64_t totalBlocks);

}  // namespace posix

#endif
