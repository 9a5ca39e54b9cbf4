// The spine of the program: the entry, the hidden owner window, the two dialogs and the
// install sequence that runs while the progress dialog is shown.
#ifndef KARTOL_SETUP_SETUP_FLOW_H
#define KARTOL_SETUP_SETUP_FLOW_H

#include "platform/platform.h"

// Title of every box of the flow and caption of both dialogs.
inline constexpr char kSetupTitle[] = "Vemo Kartol Setup";
inline constexpr char kAbortText[] = "Die Installation wurde abgebrochen.";
inline constexpr char kSuccessText[] = "Die Installation wurde erfolgreich durchgef\xFChrt.";

// Runs the whole setup once; the result is the process exit code: 0 after a cancel or when
// the hidden window cannot be made, 1 whenever the progress dialog has run.
int SetupFlow(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PathDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The four stages in their fixed order; the first that returns 0 ends it. Non-zero when all
// four succeeded.
int InstallSequence(HWND progressDialog);

// Moves a dialog to the middle of the primary screen without resizing it.
void CenterDialog(HWND dialog);

#endif
