// Numeric ids of the program's resources and dialog controls. Included by setup.rc and by
// the code, so both sides name the same numbers.
#ifndef KARTOL_SETUP_RESOURCE_IDS_H
#define KARTOL_SETUP_RESOURCE_IDS_H

#include "payload/payload_resource.h"

#define IDD_PATH_DIALOG 101
#define IDD_PROGRESS_DIALOG 145
#define IDI_APP_ICON 124

#define IDC_PATH_EDIT 1000
#define IDC_PROMPT_TEXT 1001
#define IDC_WAIT_TEXT 1002
#define IDC_STATUS_TEXT 1003

#endif
