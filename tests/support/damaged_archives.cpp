#include "damaged_archives.h"

#include <algorithm>
#include <cstring>

#include "formats/payload_archive.h"
#include "setup_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kRecord = archive::kDirectoryOffset, kCount = archive::kHeaderSize;
constexpr std::size_t kOffset = archive::kNameFieldSize, kSize = kOffset + 4;

// The first entry's name field holding `name` and zeros.
Bytes Named(const char* name) {
    Bytes file = SoundArchive();
    std::fill_n(file.begin() + kRecord, archive::kNameFieldSize, 0);
    std::copy_n(name, std::strlen(name), file.begin() + kRecord);
    return file;
}

}  // namespace

const Bytes& SoundArchive() {
    static const Bytes kSound = [] {
        const Bytes product(300, 'k'), level(200, 'e');
        return archive::Build(std::vector<archive::NamedBytes>{{"KARTOL.EXE", product},
                                                               {"EIS\\LEVEL001.BTN", level}})
            .file;
    }();
    return kSound;
}

const std::vector<DamagedArchive>& DamagedArchives() {
    static const std::string kFullName(archive::kNameFieldSize, 'N');
    const Bytes& sound = SoundArchive();
    // clang-format off
    static const std::vector<DamagedArchive> kDamaged = {
        // Cut short in every field: the magic, the count, a name, an offset, a size, the data.
        {"CutInMagic", Cut(sound, 10), -1}, {"CutInCount", Cut(sound, kCount + 2), -1},
        {"CutInName", Cut(sound, kRecord + 60), -1}, {"CutInOffset", Cut(sound, kRecord + kOffset + 2), -1},
        {"CutInSize", Cut(sound, kRecord + kSize + 2), -1}, {"CutInData", Cut(sound, sound.size() - 1), -1},
        // Only the magic's first seven bytes are looked at.
        {"WrongMagic", Patched(sound, 3, 0), -1},
        // A count of 0 or below is an empty archive, installed as one.
        {"CountZero", Patched(sound, kCount, 0), 0}, {"CountNegative", Patched(sound, kCount, 0xFFFFFFFF), 0},
        {"Count300", Patched(sound, kCount, 300), -1}, {"Count301", Patched(sound, kCount, 301), -1},
        {"CountHuge", Patched(sound, kCount, 0x7FFFFFFF), -1},
        // Entries may share bytes: the reader follows each offset alone.
        {"SharedBytes", Patched(sound, kRecord + archive::kRecordSize + kOffset, kRecord + 2 * archive::kRecordSize), 2},
        {"OffsetBeyond", Patched(sound, kRecord + kOffset, 0x7FFFFFFF), -1},
        {"SizeBeyond", Patched(sound, kRecord + kSize, 0xFFFFFFF0), -1},
        // Names that fill their field, leave the target directory or land on the setup's files.
        {"NameFillsField", Named(kFullName.c_str()), -1}, {"NameClimbs", Named("RES\\..\\..\\OUT"), -1},
        {"NameRooted", Named("/OUT"), -1}, {"NameOnDrive", Named("C:\\OUT"), -1},
        {"NameOnDriveRelative", Named("D:OUT"), -1}, {"NameTrimmedToDot", Named("RES\\ . \\OUT"), -1},
        {"NameDots", Named(".."), -1}, {"NameEmpty", Named(""), -1}, {"NameLog", Named("DEINST.LOG"), -1},
        {"NameExpandedPayload", Named("Kartol.Un2. "), -1}, {"NameEntryTemp", Named("kartol.un3"), -1},
        {"NameStoredPayload", Named("kartol.un_"), -1},
    };
    // clang-format on
    return kDamaged;
}
