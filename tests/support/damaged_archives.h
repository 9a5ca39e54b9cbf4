// Payload archives damaged in each of their fields, each made from one sound archive of two
// entries, and how many of its entries the setup installs from each: -1 for none, when it
// refuses the archive. The unpacking stage's tests and the fault sweep's whole installs both
// go through this one list.
#ifndef KARTOL_TESTS_SUPPORT_DAMAGED_ARCHIVES_H
#define KARTOL_TESTS_SUPPORT_DAMAGED_ARCHIVES_H

#include <cstdint>
#include <string>
#include <vector>

struct DamagedArchive {
    std::string name;
    std::vector<std::uint8_t> bytes;
    int installed;
};

// "KARTOL.EXE" (300 'k') and "EIS\LEVEL001.BTN" (200 'e').
const std::vector<std::uint8_t>& SoundArchive();

const std::vector<DamagedArchive>& DamagedArchives();

#endif
