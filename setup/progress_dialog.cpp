#include <algorithm>
#include <iterator>

#include "platform/shown_text.h"
#include "resource_ids.h"
#include "setup_flow.h"
#include "state/process_state.h"

namespace {

constexpr char kWaitText[] = "Bitte haben Sie etwas Geduld.";
constexpr char kPreparingText[] = "Bereite Installation vor.";

}  // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) {
        // No buttons and no commands: the sequence cannot be cancelled.
        return FALSE;
    }
    CenterDialog(dialog);
    // Shown now, because the whole sequence runs before this message returns.
    ShowWindow(dialog, SW_SHOW);
    ShowWindowText(GetDlgItem(dialog, IDC_WAIT_TEXT), kWaitText);
    ShowWindowText(GetDlgItem(dialog, IDC_STATUS_TEXT), kPreparingText);
    std::fill(std::begin(PathLevelFlags), std::end(PathLevelFlags), 0);

    const int installed = InstallSequence(dialog);

    // The dialog disappears before the outcome box is shown.
    EndDialog(dialog, 1);
    ShowMessageBox(nullptr, installed ? kSuccessText : kAbortText, kSetupTitle, MB_OK);
    return FALSE;
}
