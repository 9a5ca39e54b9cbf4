#include "register_program_group.h"

#include <cstdio>

#include "product_group.h"
#include "progman_groups.h"
#include "state/process_state.h"

namespace {

// Adds the item that starts InstallDir followed by file; the command line is built in
// PathBuffer.
void AddInstalledItem(const char* file, const char* caption) {
    std::snprintf(PathBuffer, sizeof PathBuffer, "%s%s", InstallDir, file);
    AddProgmanItem(kProgramGroupName, PathBuffer, caption);
}

}  // namespace

// The group is replaced as a whole: deleting it first drops items a former installation left,
// and a group that does not exist yet is no reason to stop. No result is looked at.
int RegisterProgramGroup() {
    DeleteProgmanGroup(kProgramGroupName);
    CreateProgmanGroup(kProgramGroupName);
    AddInstalledItem(kProductFile, kProductCaption);
    AddInstalledItem(kUninstallerFile, kUninstallerCaption);
    return 1;
}
