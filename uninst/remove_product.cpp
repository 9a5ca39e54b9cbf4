#include "remove_product.h"

#include <algorithm>
#include <ranges>

#include "formats/program_names.h"
#include "formats/target_layout.h"
#include "platform/platform.h"

namespace {

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// What stands at a path, without following a link there.
enum class Entry { Missing, Folder, Link, File };

Entry Look(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Entry::Missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Entry::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Entry::Folder : Entry::File;
}

class Removal {
  public:
    explicit Removal(const std::string& folder) : folder_(folder) {}

    // Deletes folder + name unless a folder on its way is a link. Where one is missing or a
    // file, the listed file cannot be there.
    void DeleteListedFile(const std::string& name) {
        for (std::size_t at = 0; at < name.size(); ++at) {
            if (!names::IsPathSeparator(name[at])) {
                continue;
            }
            const std::string onTheWay = folder_ + name.substr(0, at);
            switch (Look(onTheWay)) {
                case Entry::Folder:
                    break;
                case Entry::Missing:
                case Entry::File:
                    return;
                case Entry::Link:
                    Stay(onTheWay, StayReason::Link);
                    return;
            }
        }
        const std::string path = folder_ + name;
        if (!DeleteFileA(path.c_str()) && !IsGone(GetLastError())) {
            Stay(path, StayReason::InUse);
        }
    }

    // Removes an empty folder of ours; a link or a file in its place is left alone.
    void RemoveFolder(const std::string& path) {
        const Entry entry = Look(path);
        if (entry == Entry::Missing) {
            return;
        }
        if (entry != Entry::Folder) {
            Stay(path, entry == Entry::Link ? StayReason::Link : StayReason::AddedFiles);
            return;
        }
        if (!RemoveDirectoryA(path.c_str())) {
            Stay(path, GetLastError() == ERROR_DIR_NOT_EMPTY ? StayReason::AddedFiles
                                                             : StayReason::InUse);
        }
    }

    // A file of the setup's own, named by it rather than by the log.
    void DeleteSetupFile(const char* name) {
        const std::string path = folder_ + name;
        if (!DeleteFileA(path.c_str()) && !IsGone(GetLastError())) {
            Stay(path, StayReason::InUse);
        }
    }

    std::vector<Remainder> Remainders() && { return std::move(remainders_); }

  private:
    // Each path once: the files behind one link are that link. Paths match without regard
    // to case, as the file system matches them.
    void Stay(std::string path, StayReason reason) {
        const auto samePath = [&path](const Remainder& remainder) {
            return names::SameIgnoringCase(remainder.path, path);
        };
        if (std::ranges::none_of(remainders_, samePath)) {
            remainders_.push_back({std::move(path), reason});
        }
    }

    const std::string& folder_;
    std::vector<Remainder> remainders_;
};

}  // namespace

std::vector<std::string> PathLevels(const std::string& folder) {
    std::vector<std::string> levels;
    for (std::size_t position = 0; position + 1 < folder.size(); ++position) {
        if (IsPathLevelEnd(folder.c_str(), position)) {
            levels.push_back(folder.substr(0, position + 1));
        }
    }
    return levels;
}

std::vector<Remainder> RemoveProduct(const std::string& folder,
                                     const UninstallLogContents& record) {
    Removal removal{folder};
    // The uninstaller and the log go last: a removal that is cut short before them can be run
    // again, and finishes what the first left.
    const auto isUninstaller = [](const std::string& name) {
        return names::SameIgnoringCase(name, kUninstallerFile);
    };
    for (const std::string& name : record.files) {
        if (!isUninstaller(name)) {
            removal.DeleteListedFile(name);
        }
    }
    // A setup that was interrupted leaves its temporary files; they are the setup's, too.
    for (const char* temporary : kSetupTemporaries) {
        removal.DeleteSetupFile(temporary);
    }
    for (const char* content : kContentDirs) {
        removal.RemoveFolder(folder + content);
    }
    std::ranges::for_each(record.files | std::views::filter(isUninstaller),
                          [&removal](const std::string& name) { removal.DeleteListedFile(name); });
    removal.DeleteSetupFile(kLogFileName);
    // The log's flags stand for the deepest levels of the path.
    const std::vector<std::string> levels = PathLevels(folder);
    const std::size_t above = levels.size() - record.levelCreated.size();
    for (std::size_t level = levels.size(); level-- > above;) {
        if (record.levelCreated[level - above]) {
            removal.RemoveFolder(levels[level]);
        }
    }
    return std::move(removal).Remainders();
}
