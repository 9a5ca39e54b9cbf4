#include "payload/expand_payload.h"
#include "payload/unpack_archive.h"
#include "progman/register_program_group.h"
#include "resource_ids.h"
#include "setup_flow.h"
#include "targetdir/prepare_target_dir.h"

int InstallSequence(HWND progressDialog) {
    // Each stage runs only when every stage before it succeeded.
    return PrepareTargetDir() != 0 && ExpandPayload() != 0 &&
           UnpackArchive(GetDlgItem(progressDialog, IDC_STATUS_TEXT)) != 0 &&
           RegisterProgramGroup() != 0;
}
