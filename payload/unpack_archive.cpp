#include "unpack_archive.h"

#include <cstdint>
#include <string_view>

#include "formats/payload_archive.h"
#include "formats/program_names.h"
#include "formats/target_layout.h"
#include "payload/archive_reader.h"
#include "platform/shown_text.h"
#include "state/process_state.h"
#include "targetdir/uninstall_log.h"

namespace {

constexpr char kOutputMode[] = "wb";
// The status line while a file is written: "Schreibe C:\KARTOL\EIS\LEVEL001.BTN."
constexpr char kWritingText[] = "Schreibe ";
constexpr char kWritingTextEnd[] = ".";

void BuildArchivePath() {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kExpandedPayloadName);
}

// Every entry must be sound (archive::EntryProblem: inside the target directory, all its bytes
// in the archive) and leave the setup's own files alone, so that a damaged archive installs
// nothing rather than files outside the target, over the log or the archive, or cut short.
// Checked for the whole directory before the first file is written.
bool DirectoryIsSound() {
    if (std::fseek(ArchiveStream, 0, SEEK_END) != 0) {
        return false;
    }
    const long archiveSize = std::ftell(ArchiveStream);
    for (std::int32_t index = 0; index < ArchiveDirectory.count; ++index) {
        const ArchiveEntry& entry = ArchiveDirectory.entries[index];
        if (archiveSize < 0 ||
            !archive::EntryProblem(entry.name, entry.offset, entry.size,
                                   static_cast<std::uint64_t>(archiveSize))
                 .empty() ||
            IsSetupFileName(entry.name)) {
            return false;
        }
    }
    return true;
}

// Copies the entry's bytes from ArchiveStream in pieces of at most the buffer's size. False
// when a piece could not be read whole or not written whole.
bool CopyEntry(const ArchiveEntry& entry, FILE* output) {
    std::uint32_t remaining = entry.size;
    do {
        const std::size_t piece = remaining >= kCopyBufferSize ? kCopyBufferSize : remaining;
        const std::size_t read = std::fread(CopyBuffer, 1, piece, ArchiveStream);
        if (read != piece || std::fwrite(CopyBuffer, 1, read, output) != read) {
            return false;
        }
        remaining -= static_cast<std::uint32_t>(piece);
    } while (remaining != 0);
    return true;
}

// Writes one entry to the path in PathBuffer. A file that could not be written whole is
// removed again.
bool WriteEntry(const ArchiveEntry& entry) {
    FILE* output = OpenProgramStream(PathBuffer, kOutputMode);
    if (output == nullptr) {
        return false;
    }
    const bool copied = CopyEntry(entry, output);
    if (std::fclose(output) != 0 || !copied) {
        DeleteFileA(PathBuffer);
        return false;
    }
    return true;
}

// Whether an entry written in full can take its place at `entryPath`: its folder exists (the
// drive's root too, kept with its backslash), and nothing stands there that the move may not
// replace, a folder or a read-only file. These are where a direct write of the file fails.
bool CanTakePlace(const char* entryPath) {
    char folder[kPathBufferSize];
    std::snprintf(folder, sizeof folder, "%s", entryPath);
    folder[std::string_view{folder}.find_last_of(names::kPathSeparators) + 1] = '\0';
    const DWORD folderAttributes = GetFileAttributesA(folder);
    const DWORD attributes = GetFileAttributesA(entryPath);
    return folderAttributes != INVALID_FILE_ATTRIBUTES &&
           (folderAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes == INVALID_FILE_ATTRIBUTES ||
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0);
}

// Writes one entry whole under the temporary name, logs it and moves it to InstallDir + its
// name, so that a setup ended at any moment leaves nothing the uninstaller does not remove: a
// temporary file, or a line whose file is still the temporary one. The line comes before the
// move because a file moved but not yet logged would be left by the uninstaller. What would
// make the move fail is checked before the line, so a file that fails gets none; only a move
// that fails all the same (the disk, another program in between) leaves its line, and the
// stage fails. The move may copy, since a content folder may lie on another volume.
bool InstallEntry(const ArchiveEntry& entry) {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, kEntryTempName);
    if (!WriteEntry(entry)) {
        return false;
    }
    char entryPath[kPathBufferSize];
    std::snprintf(entryPath, sizeof entryPath, "%s%s", InstallDir, entry.name);
    if (!CanTakePlace(entryPath)) {
        DeleteFileA(PathBuffer);
        return false;
    }
    WriteLogFileLine(entry.name);
    if (!MoveFileExA(PathBuffer, entryPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        DeleteFileA(PathBuffer);
        return false;
    }
    return true;
}

}  // namespace

int UnpackArchive(HWND statusLine) {
    BuildArchivePath();
    if (!OpenArchive(PathBuffer)) {
        return 0;
    }
    if (!DirectoryIsSound()) {
        CloseArchive();
        return 0;
    }
    for (std::int32_t index = 0; index < ArchiveDirectory.count; ++index) {
        const ArchiveEntry& entry = ArchiveDirectory.entries[index];
        std::fseek(ArchiveStream, static_cast<long>(entry.offset), SEEK_SET);
        ShowWindowText(statusLine, ShownText{kWritingText}
                                       .AddName(InstallDir)
                                       .AddName(entry.name)
                                       .AddOwn(kWritingTextEnd));
        if (!InstallEntry(entry)) {
            CloseArchive();
            return 0;
        }
    }
    CloseArchive();
    BuildArchivePath();
    return DeleteFileA(PathBuffer);
}
