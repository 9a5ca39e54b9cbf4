#include "menu_store.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "desktop_entry.h"
#include "formats/program_names.h"
#include "platform/host/atomic_file.h"
#include "platform/host/codepage.h"
#include "platform/host/user_folders.h"

namespace progman {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kItemStem = "item-";
constexpr std::string_view kCommandLineKey = "X-Vemo-Kartol-Command-Line";
// The key by which a menu hides an entry whose program is gone, and the server finds it.
constexpr std::string_view kProgramKey = "TryExec";
// An item's command: env, the setting of the program's drive, the program.
constexpr std::string_view kExecKey = "Exec";
constexpr std::size_t kExecArgumentCount = 3;
constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr int kNibbleBits = 4;
constexpr unsigned char kNibbleMask = 0x0F;

// The group's name in upper case with every byte but letters and digits as "_XX": the same
// for every spelling of the name, and a valid part of a desktop file id.
std::string GroupKey(std::string_view group) {
    std::string key;
    for (unsigned char c : group) {
        c = names::Cp1252ToUpper(c);
        // The server keeps the C locale, in which only ASCII letters and digits count.
        if (std::isalnum(c)) {
            key += static_cast<char>(c);
        } else {
            key += '_';
            key += kHexDigits[c >> kNibbleBits];
            key += kHexDigits[c & kNibbleMask];
        }
    }
    return key;
}

std::string GroupFileStem(std::string_view key) {
    return std::string{host::kHostProductName} + '-' + std::string{key};
}

fs::path DirectoryFile(const MenuFolders& folders, std::string_view key) {
    return folders.data / "desktop-directories" / (GroupFileStem(key) + ".directory");
}

fs::path MenuFile(const MenuFolders& folders, std::string_view key) {
    return folders.config / "menus" / "applications-merged" / (GroupFileStem(key) + ".menu");
}

fs::path ItemFolder(const MenuFolders& folders, std::string_view key) {
    return folders.data / "applications" / host::kHostProductName / key;
}

// The number of an item file "item-<n>.desktop", or 0 for any other file.
unsigned ItemNumber(const fs::path& file) {
    const std::string stem = file.stem().string();
    if (file.extension() != ".desktop" || !stem.starts_with(kItemStem)) {
        return 0;
    }
    return static_cast<unsigned>(std::strtoul(stem.c_str() + kItemStem.size(), nullptr, 10));
}

// The group's item files in the order they were added.
std::vector<fs::path> ItemFiles(const MenuFolders& folders, std::string_view key) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator{ItemFolder(folders, key), error}) {
        if (ItemNumber(entry.path()) != 0) {
            files.push_back(entry.path());
        }
    }
    std::ranges::sort(files, {}, ItemNumber);
    return files;
}

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

// The submenu of the group with its items; the desktop file id of an item below
// applications/ is its relative path with "-" for "/".
std::string MenuText(std::string_view key, std::string_view name,
                     const std::vector<fs::path>& items) {
    std::string text =
        "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
        " \"http://www.freedesktop.org/standards/menu-spec/menu-1.0.dtd\">\n"
        "<Menu>\n"
        "  <Name>Applications</Name>\n"
        "  <Menu>\n"
        "    <Name>" +
        XmlEscaped(name) + "</Name>\n    <Directory>" + GroupFileStem(key) +
        ".directory</Directory>\n    <Include>\n";
    for (const fs::path& item : items) {
        text += "      <Filename>" + GroupFileStem(key) + '-' + item.filename().string() +
                "</Filename>\n";
    }
    return text + "    </Include>\n  </Menu>\n</Menu>\n";
}

bool WriteMenu(const MenuFolders& folders, std::string_view key, std::string_view group) {
    const fs::path file = MenuFile(folders, key);
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    return host::WriteFileAtomically(
        file, MenuText(key, host::Cp1252ToUtf8(group), ItemFiles(folders, key)));
}

// The .directory goes last, so an interrupted removal leaves a group that still exists. The
// other files go even when it is missing: they are what a server that died while it created
// the group left behind.
bool DeleteGroupFiles(const MenuFolders& folders, std::string_view key) {
    std::error_code error;
    fs::remove(MenuFile(folders, key), error);
    fs::remove_all(ItemFolder(folders, key), error);
    // The folder of all our groups' items goes with the last of them; remove refuses it
    // while another group's items are in it.
    fs::remove(ItemFolder(folders, key).parent_path(), error);
    return fs::remove(DirectoryFile(folders, key), error);
}

// Whether an item starts a program that is gone: its path is known and the folder of its drive
// (the setting that its Exec starts it with) is there without it. An item without the
// program's path (written by an older server) is not, nor one whose drive folder is missing.
bool ProgramGone(const fs::path& item) {
    const std::optional<std::string> program = ReadValue(item, kProgramKey);
    const std::optional<std::string> exec = ReadValue(item, kExecKey);
    const std::optional<std::vector<std::string>> arguments =
        exec ? ExecArguments(*exec) : std::nullopt;
    if (!program || !arguments || arguments->size() != kExecArgumentCount) {
        return false;
    }
    const std::string& driveSetting = (*arguments)[1];
    const fs::path driveFolder = driveSetting.substr(driveSetting.find('=') + 1);
    std::error_code error;
    return fs::is_directory(driveFolder, error) && !fs::exists(*program, error) && !error;
}

// Whether the group has items and every one of them starts a program that is gone.
bool ProgramsAllGone(const MenuFolders& folders, std::string_view key) {
    const std::vector<fs::path> items = ItemFiles(folders, key);
    return !items.empty() && std::ranges::all_of(items, ProgramGone);
}

// The group of a .directory file, or nothing for another file.
std::optional<MenuGroup> GroupOfFile(const MenuFolders& folders, const fs::path& file) {
    const std::string stemPrefix = GroupFileStem("");
    const std::string stem = file.stem().string();
    std::optional<std::string> name = ReadValue(file, "Name");
    if (file.extension() != ".directory" || !stem.starts_with(stemPrefix) || !name) {
        return std::nullopt;
    }
    MenuGroup group{*name, file, {}};
    for (const fs::path& item : ItemFiles(folders, stem.substr(stemPrefix.size()))) {
        group.items.push_back({ReadValue(item, "Name").value_or(""),
                               ReadValue(item, std::string{kCommandLineKey}).value_or(""),
                               ReadValue(item, std::string{kProgramKey}).value_or("")});
    }
    return group;
}

}  // namespace

std::optional<MenuFolders> MenuFoldersFromEnvironment() {
    std::optional<fs::path> data = host::UserDataFolder();
    std::optional<fs::path> config = host::UserConfigFolder();
    if (!data || !config) {
        return std::nullopt;
    }
    return MenuFolders{*data, *config};
}

bool GroupExists(const MenuFolders& folders, std::string_view group) {
    std::error_code error;
    return fs::is_regular_file(DirectoryFile(folders, GroupKey(group)), error);
}

bool CreateGroup(const MenuFolders& folders, std::string_view group) {
    if (GroupExists(folders, group)) {
        return true;
    }
    const std::string key = GroupKey(group);
    const fs::path directory = DirectoryFile(folders, key);
    std::error_code error;
    fs::create_directories(directory.parent_path(), error);
    const std::string text =
        "[Desktop Entry]\nType=Directory\nName=" + EscapeValue(host::Cp1252ToUtf8(group)) + "\n";
    // The menu first: a group counts as existing once its .directory file is there.
    return WriteMenu(folders, key, group) && host::WriteFileAtomically(directory, text);
}

bool DeleteGroup(const MenuFolders& folders, std::string_view group) {
    return DeleteGroupFiles(folders, GroupKey(group));
}

bool AddItem(const MenuFolders& folders, std::string_view group, std::string_view commandLine,
             std::string_view caption, const ItemProgram& program) {
    const std::string name = host::Cp1252ToUtf8(caption);
    const std::string line = host::Cp1252ToUtf8(commandLine);
    const std::vector<std::string> exec = {"env", program.driveSetting, program.file.string()};
    const std::string folder = program.file.parent_path().string();
    if (!GroupExists(folders, group) ||
        !std::ranges::all_of(std::initializer_list<std::string_view>{name, line, exec[1], exec[2]},
                             CanEscape)) {
        return false;
    }
    const std::string key = GroupKey(group);
    const std::vector<fs::path> items = ItemFiles(folders, key);
    const unsigned number = items.empty() ? 1 : ItemNumber(items.back()) + 1;
    const fs::path itemFolder = ItemFolder(folders, key);
    std::error_code error;
    fs::create_directories(itemFolder, error);
    const std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapeValue(name) + "\n" +
                             std::string{kExecKey} + '=' + ExecValue(exec) + "\n" +
                             std::string{kProgramKey} + '=' + EscapeValue(exec[2]) +
                             "\nPath=" + EscapeValue(folder) + "\nTerminal=true\n" +
                             std::string{kCommandLineKey} + '=' + EscapeValue(line) + "\n";
    const fs::path file =
        itemFolder / (std::string{kItemStem} + std::to_string(number) + ".desktop");
    return host::WriteFileAtomically(file, text) && WriteMenu(folders, key, group);
}

std::vector<MenuGroup> ListGroups(const MenuFolders& folders) {
    std::vector<MenuGroup> groups;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator{folders.data / "desktop-directories", error}) {
        if (std::optional<MenuGroup> group = GroupOfFile(folders, entry.path())) {
            groups.push_back(std::move(*group));
        }
    }
    std::ranges::sort(groups, {}, &MenuGroup::name);
    return groups;
}

std::optional<MenuGroup> FindGroup(const MenuFolders& folders, std::string_view group) {
    return GroupOfFile(folders, DirectoryFile(folders, GroupKey(group)));
}

std::vector<std::string> TidyStore(const MenuFolders& folders) {
    const std::string stemPrefix = GroupFileStem("");
    host::RemoveStaleTemporaries(folders.data / "desktop-directories", stemPrefix);
    host::RemoveStaleTemporaries(MenuFile(folders, "").parent_path(), stemPrefix);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator{ItemFolder(folders, ""), error}) {
        host::RemoveStaleTemporaries(entry.path(), kItemStem);
    }
    std::vector<fs::path> gone;
    for (const auto& entry : fs::directory_iterator{folders.data / "desktop-directories", error}) {
        const std::string stem = entry.path().stem().string();
        if (entry.path().extension() == ".directory" && stem.starts_with(stemPrefix) &&
            ProgramsAllGone(folders, stem.substr(stemPrefix.size()))) {
            gone.push_back(entry.path());
        }
    }
    std::vector<std::string> dropped;
    for (const fs::path& file : gone) {
        dropped.push_back(ReadValue(file, "Name").value_or(""));
        DeleteGroupFiles(folders, file.stem().string().substr(stemPrefix.size()));
    }
    return dropped;
}

}  // namespace progman
