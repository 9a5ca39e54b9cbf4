#include "platform/shown_text.h"
#include "resource_ids.h"
#include "setup_flow.h"
#include "state/process_state.h"
#include "targetdir/prepare_target_dir.h"

namespace {

constexpr char kPromptText[] =
    "Bitte geben Sie das Verzeichnis ein, in das Vemo Kartol installiert werden soll.\n";
constexpr char kDefaultInstallDir[] = "C:\\KARTOL\\";

// The field takes no more than the setup can use: target preparation may append a backslash
// to what was typed, and the result must not be longer than the longest InstallDir.
constexpr WPARAM kPathFieldLimit = kMaxInstallDirLength - 1;

// EM_SETSEL from the first character to the end: the first key typed replaces the default.
constexpr WPARAM kSelectionStart = 0;
constexpr LPARAM kSelectionEnd = -1;

void InitPathDialog(HWND dialog) {
    HWND pathEdit = GetDlgItem(dialog, IDC_PATH_EDIT);
    SetFocus(pathEdit);
    ShowWindowText(GetDlgItem(dialog, IDC_PROMPT_TEXT), kPromptText);
    ShowWindowText(pathEdit, ShownText{}.AddName(kDefaultInstallDir));
    SendDlgItemMessageA(dialog, IDC_PATH_EDIT, EM_LIMITTEXT, kPathFieldLimit, 0);
    CenterDialog(dialog);
    SendDlgItemMessageA(dialog, IDC_PATH_EDIT, EM_SETSEL, kSelectionStart, kSelectionEnd);
    ShowWindowText(dialog, kSetupTitle);
}

}  // namespace

INT_PTR CALLBACK PathDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitPathDialog(dialog);
            // FALSE keeps the focus on the path field.
            return FALSE;
        case WM_COMMAND:
            // Only the buttons' own commands, with notification code 0, end the dialog.
            if (wParam == IDOK) {
                // The path is not checked here; target preparation judges it. The field's
                // limit keeps it shorter than the count, so nothing is cut.
                ReadTypedName(GetDlgItem(dialog, IDC_PATH_EDIT), InstallDir, kInstallDirInputCount);
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (wParam == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
