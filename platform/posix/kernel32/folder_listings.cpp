#include "folder_listings.h"

#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <set>
#include <system_error>
#include <unordered_map>

#include "formats/program_names.h"
#include "platform/host/codepage.h"

namespace posix {
namespace {

namespace fs = std::filesystem;

// A name as the case-blind comparison sees it: code page 1252, upper case.
std::string Folded(std::string_view name) {
    std::string folded{name};
    for (char& c : folded) {
        c = static_cast<char>(names::Cp1252ToUpper(static_cast<unsigned char>(c)));
    }
    return folded;
}

// What a folder held when it was last read: its entries by folded name, and the folder's
// modification time then. The time is as coarse as the file system's clock, so a listing read
// while it was recent may miss a change made in the same tick: such a listing is not settled
// and is read again at its next use. The program's own changes keep a listing true
// (NoteEntryMade, NoteEntryGone), and a folder it made itself starts as a settled empty one.
struct FolderListing {
    timespec modified{};
    bool settled = false;
    std::unordered_map<std::string, std::set<fs::path>> byFolded;
};

// How far a folder's modification time must lie behind the reading of its listing.
constexpr std::chrono::milliseconds kSettleTime{50};

std::unordered_map<std::string, FolderListing>& Listings() {
    static std::unordered_map<std::string, FolderListing> listings;
    return listings;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::chrono::nanoseconds Since(const timespec& time) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::chrono::seconds{now.tv_sec - time.tv_sec} +
           std::chrono::nanoseconds{now.tv_nsec - time.tv_nsec};
}

std::set<fs::path>& NamesFoldedAs(FolderListing& listing, const fs::path& name) {
    return listing.byFolded[Folded(host::Utf8ToCp1252(name.string()))];
}

// The folder's listing, read again unless the one kept is settled and the folder unchanged;
// null when the folder cannot be read.
const FolderListing* CurrentListing(const fs::path& folder) {
    struct stat status {};
    if (stat(folder.c_str(), &status) != 0) {
        Listings().erase(folder.native());
        return nullptr;
    }
    FolderListing& listing = Listings()[folder.native()];
    if (listing.settled && SameTime(listing.modified, status.st_mtim)) {
        return &listing;
    }
    listing.byFolded.clear();
    std::error_code error;
    for (fs::directory_iterator entry{folder, error}; !error && entry != fs::directory_iterator{};
         entry.increment(error)) {
        NamesFoldedAs(listing, entry->path().filename()).insert(entry->path().filename());
    }
    listing.modified = status.st_mtim;
    listing.settled = !error && Since(status.st_mtim) > kSettleTime;
    return &listing;
}

// Brings the listing of the entry's folder up to the program's own change, with the folder's
// new time; a listing that is not settled stays so and is read again at its next use.
void NoteChange(const fs::path& entry, bool made) {
    const auto found = Listings().find(entry.parent_path().native());
    if (found == Listings().end()) {
        return;
    }
    FolderListing& listing = found->second;
    struct stat status {};
    if (stat(entry.parent_path().c_str(), &status) != 0) {
        Listings().erase(found);
        return;
    }
    const fs::path name = entry.filename();
    std::set<fs::path>& alike = NamesFoldedAs(listing, name);
    if (made) {
        alike.insert(name);
    } else if (alike.erase(name) != 0 && alike.empty()) {
        listing.byFolded.erase(Folded(host::Utf8ToCp1252(name.string())));
    }
    listing.modified = status.st_mtim;
}

}  // namespace

std::optional<fs::path> FindEntry(const fs::path& folder, std::string_view name,
                                  const std::string& hostName) {
    const auto kept = Listings().find(folder.native());
    if (kept == Listings().end() || !kept->second.settled) {
        std::error_code error;
        if (fs::exists(fs::symlink_status(folder / hostName, error))) {
            return fs::path{hostName};
        }
    }
    const FolderListing* listing = CurrentListing(folder);
    if (listing == nullptr) {
        return std::nullopt;
    }
    const auto found = listing->byFolded.find(Folded(name));
    if (found == listing->byFolded.end()) {
        return std::nullopt;
    }
    const std::set<fs::path>& alike = found->second;
    return alike.contains(hostName) ? fs::path{hostName} : *alike.begin();
}

void NoteEntryMade(const fs::path& entry) {
    NoteChange(entry, true);
}

void NoteFolderMade(const fs::path& folder) {
    NoteChange(folder, true);
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        Listings()[folder.native()] = {status.st_mtim, true, {}};
    }
}

// A folder that is gone takes its listing with it.
void NoteEntryGone(const fs::path& entry) {
    NoteChange(entry, false);
    Listings().erase(entry.native());
}

}  // namespace posix
