// Whether the setup can install a payload archive: the rules that the payload tool holds a
// packed product and a given archive to, so that a product that builds also installs. The
// setup's own limits come from its layout: the six content folders it makes, the files it
// keeps for itself, the program and uninstaller its program group starts, and the free
// space it asks of the drive.
#ifndef KARTOL_TOOLS_INSTALL_CHECK_H
#define KARTOL_TOOLS_INSTALL_CHECK_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/payload_archive.h"

namespace tools {

// Why the setup could not write an entry of this name, or an empty text: a name that the
// archive cannot hold or that leaves the target folder, a folder other than the six content
// folders (the setup makes no other, and none below them), one of the setup's own files, a
// Windows device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without an
// extension) or a character that Windows file names cannot hold.
std::string EntryInstallProblem(std::string_view name);

struct InstallCheck {
    std::vector<std::string> errors;    // each one keeps the setup from installing the archive
    std::vector<std::string> warnings;  // the setup may fail on a drive that it accepted
};

// The whole archive of `archiveSize` bytes: every entry by EntryInstallProblem, the program
// and the uninstaller at the top level, and the room that unpacking takes (the archive and
// every file it holds) within the free space that the setup asks of the drive.
InstallCheck CheckInstallable(std::span<const archive::Entry> entries, std::uint64_t archiveSize);

}  // namespace tools

#endif
