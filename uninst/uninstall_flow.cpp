#include "uninstall_flow.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/group_contents.h"
#include "formats/program_names.h"
#include "formats/target_layout.h"
#include "formats/text_format.h"
#include "formats/uninstall_log_format.h"
#include "platform/shown_text.h"
#include "progman/product_group.h"
#include "progman/progman_command.h"
#include "progman/progman_groups.h"
#include "remove_product.h"
#include "self_removal.h"

namespace {

constexpr char kCaption[] = "Vemo Kartol Deinstallation";
constexpr char kConfirmText[] =
    "M\xF6"
    "chten Sie Vemo Kartol mit allen seinen Komponenten von Ihrem Computer entfernen?";
constexpr char kNoFolderText[] =
    "Der Ordner der Deinstallation konnte nicht ermittelt werden. Es wurde nichts entfernt.";
// The two texts about the log name its path between their two parts.
constexpr char kLogText[] = "Das Deinstallationsprotokoll ";
constexpr char kNoLogTextEnd[] = " fehlt oder kann nicht gelesen werden. Es wurde nichts entfernt.";
constexpr char kBadLogTextEnd[] =
    " ist besch\xE4"
    "digt (Zeile %d). Es wurde nichts entfernt.";
constexpr char kRemovedText[] = "Vemo Kartol wurde vollst\xE4ndig von Ihrem Computer entfernt.";
constexpr char kStayedText[] = "Vemo Kartol wurde entfernt. Folgendes ist geblieben:\n";
constexpr char kMoreStayedText[] = "und %zu weitere";
constexpr char kAddedFilesReason[] = "enth\xE4lt Dateien, die nicht zu Vemo Kartol geh\xF6ren";
constexpr char kInUseReason[] = "wird verwendet oder ist schreibgesch\xFCtzt";
constexpr char kLinkReason[] = "ist eine Verkn\xFCpfung oder liegt dahinter";
// The program group as the outcome names it: "Programmgruppe Vemo Kartol".
constexpr char kGroupRemainderPrefix[] = "Programmgruppe ";
constexpr char kUnansweredReason[] = "kein Programm-Manager hat geantwortet";
constexpr char kReplacedReason[] = "geh\xF6rt zu einer anderen Installation";
// The outcome lists this many remainders by name and counts the rest.
constexpr std::size_t kMaxListedRemainders = 10;
// Room for the program's path and more: a longer one cannot be the product's folder.
constexpr DWORD kProgramPathSize = 1024;

int Show(const ShownText& text, UINT type) {
    return ShowMessageBox(nullptr, text, kCaption, type);
}

// The folder of the running program, with its final backslash.
std::optional<std::string> ProgramFolder() {
    char program[kProgramPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, program, kProgramPathSize);
    if (length >= kProgramPathSize) {
        return std::nullopt;
    }
    const std::string path{program, length};
    const std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    return path.substr(0, slash + 1);
}

// The log's bytes, one more than the largest log a setup writes so that a longer file is
// seen as such; nothing when it cannot be read.
std::optional<std::string> ReadLog(const std::string& path) {
    const std::unique_ptr<FILE, int (*)(FILE*)> stream{OpenProgramStream(path.c_str(), "rb"),
                                                       &std::fclose};
    if (!stream) {
        return std::nullopt;
    }
    std::string text(kMaxLogSize + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), stream.get()));
    if (std::ferror(stream.get())) {
        return std::nullopt;
    }
    return text;
}

const char* ReasonText(StayReason reason) {
    switch (reason) {
        case StayReason::AddedFiles:
            return kAddedFilesReason;
        case StayReason::InUse:
            return kInUseReason;
        case StayReason::Link:
            return kLinkReason;
        case StayReason::Replaced:
            return kReplacedReason;
        case StayReason::Unanswered:
            break;
    }
    return kUnansweredReason;
}

// Whether the command line starts a program right in the folder (ending in a backslash): a
// folder below it may hold another installation.
bool StartsProgramIn(std::string_view commandLine, const std::string& folder) {
    return commandLine.size() > folder.size() &&
           names::SameIgnoringCase(commandLine.substr(0, folder.size()), folder) &&
           commandLine.find_first_of(names::kPathSeparators, folder.size()) == commandLine.npos;
}

// Whether the program group is another installation's: an item of it starts a program outside
// the folder, as after a setup into another folder replaced the group. A program manager that
// gives no contents that can be read (Wine's shell answers no such request) leaves the group
// to this installation, as does one that has no such group.
bool GroupIsAnotherInstallations(const std::string& folder) {
    const std::optional<std::string> answer = RequestProgmanItem(kProgramGroupName);
    const std::optional<std::vector<std::string>> commandLines =
        answer ? group_contents::CommandLines(*answer) : std::nullopt;
    return commandLines && !std::ranges::all_of(*commandLines, [&](const std::string& line) {
               return StartsProgramIn(line, folder);
           });
}

void ReportOutcome(const std::vector<Remainder>& remainders) {
    if (remainders.empty()) {
        Show(kRemovedText, MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShownText text{kStayedText};
    for (std::size_t index = 0; index < remainders.size() && index < kMaxListedRemainders;
         ++index) {
        text.AddOwn("\n").AddName(remainders[index].path).AddOwn(": ");
        text.AddOwn(ReasonText(remainders[index].reason));
    }
    if (remainders.size() > kMaxListedRemainders) {
        text.AddOwn("\n").AddOwn(
            text::Format(kMoreStayedText, remainders.size() - kMaxListedRemainders));
    }
    Show(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

int UninstallFrom(const std::string& folder, bool handedOver) {
    const std::string logPath = folder + kLogFileName;
    const std::optional<std::string> text = ReadLog(logPath);
    if (!text) {
        Show(ShownText{kLogText}.AddName(logPath).AddOwn(kNoLogTextEnd),
             MB_OK | MB_ICONEXCLAMATION);
        return kExitNothingRemoved;
    }
    const ParsedLog parsed = ParseUninstallLog(*text, PathLevels(folder).size());
    if (!parsed.record) {
        Show(ShownText{kLogText}.AddName(logPath).AddOwn(
                 text::Format(kBadLogTextEnd, parsed.badLine)),
             MB_OK | MB_ICONEXCLAMATION);
        return kExitNothingRemoved;
    }
    if (!handedOver) {
        if (Show(kConfirmText, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return kExitNothingRemoved;
        }
        if (HandOverToCopy(folder)) {
            return kExitRemoved;
        }
    }
    // No folder of the product may be this process's current one while it is removed.
    SetCurrentDirectoryA(folder.substr(0, names::kDriveRootLength).c_str());
    std::vector<Remainder> remainders = RemoveProduct(folder, *parsed.record);
    // A program manager that refuses has no such group: the user removed it, and nothing of
    // it stays. One that does not answer keeps the group, whose items now start nothing. The
    // group's line is ASCII, the same in every code page, so it is listed as the paths are.
    const std::string group = std::string{kGroupRemainderPrefix} + kProgramGroupName;
    if (GroupIsAnotherInstallations(folder)) {
        remainders.push_back({group, StayReason::Replaced});
    } else if (!DeleteProgmanGroup(kProgramGroupName) && !ProgmanAnswers()) {
        remainders.push_back({group, StayReason::Unanswered});
    }
    ReportOutcome(remainders);
    return remainders.empty() ? kExitRemoved : kExitSomethingStayed;
}

int UninstallFlow(LPSTR commandLine) {
    if (const std::optional<std::string> folder = HandedOverFolder(commandLine)) {
        const int exitCode = UninstallFrom(*folder, true);
        RemoveOwnFileAfterExit();
        return exitCode;
    }
    const std::optional<std::string> folder = ProgramFolder();
    if (!folder) {
        Show(kNoFolderText, MB_OK | MB_ICONEXCLAMATION);
        return kExitNothingRemoved;
    }
    return UninstallFrom(*folder, false);
}
