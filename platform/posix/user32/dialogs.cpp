// user32 for modal dialogs: DialogBoxParamW builds the dialog from its template in the
// program's resources and runs it with the front end's commands until EndDialog.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "dialog_template.h"
#include "formats/program_names.h"
#include "front_end.h"
#include "platform/host/codepage.h"
#include "platform/posix/kernel32/fault_point.h"
#include "resources.h"
#include "window_objects.h"

namespace {

using posix::Window;
using posix::WindowKind;

constexpr INT_PTR kDialogFailed = -1;
// The class of every dialog window.
constexpr char kDialogClassName[] = "#32770";
// A control without an id carries 0xFFFF, which the program writes as -1.
constexpr WORD kNoControlId = 0xFFFF;
constexpr int kNoControlIdValue = -1;

struct ControlClass {
    WORD atom;
    std::string_view name;
    WindowKind kind;
};

constexpr ControlClass kControlClasses[] = {
    {posix::kButtonClassAtom, "BUTTON", WindowKind::Button},
    {posix::kEditClassAtom, "EDIT", WindowKind::Edit},
    {posix::kStaticClassAtom, "STATIC", WindowKind::Static},
};

const ControlClass* FindControlClass(const posix::OrdinalOrName& windowClass) {
    const auto found = std::ranges::find_if(kControlClasses, [&](const ControlClass& known) {
        return windowClass.ordinal ? *windowClass.ordinal == known.atom
                                   : names::SameIgnoringCase(windowClass.name, known.name);
    });
    return found == std::end(kControlClasses) ? nullptr : found;
}

RECT ScaledRect(const posix::DialogScale& scale, int x, int y, int cx, int cy) {
    const int left = posix::ScaleDialogUnitsX(scale, x);
    const int top = posix::ScaleDialogUnitsY(scale, y);
    return {left, top, left + posix::ScaleDialogUnitsX(scale, cx),
            top + posix::ScaleDialogUnitsY(scale, cy)};
}

std::unique_ptr<Window> MakeControl(const posix::DialogItemTemplate& item,
                                    const posix::DialogScale& scale) {
    auto control = std::make_unique<Window>();
    const ControlClass* known = FindControlClass(item.windowClass);
    control->kind = known != nullptr ? known->kind : WindowKind::Custom;
    control->className = known != nullptr ? std::string(known->name) : item.windowClass.name;
    control->style = item.style;
    control->exStyle = item.exStyle;
    control->id = item.id == kNoControlId ? kNoControlIdValue : item.id;
    control->visible = (item.style & WS_VISIBLE) != 0;
    control->rect = ScaledRect(scale, item.x, item.y, item.cx, item.cy);
    // A title given as a number names an image resource; such a control shows no text.
    control->SetText(item.title.name);
    return control;
}

// The dialog window and its controls, hidden, at the template's position.
Window& MakeDialog(const posix::DialogTemplate& dialogTemplate, HWND owner, DLGPROC dialogProc,
                   const posix::DialogScale& scale) {
    auto dialog = std::make_unique<Window>();
    dialog->kind = WindowKind::Dialog;
    dialog->className = kDialogClassName;
    // The dialog manager shows the dialog itself once it is initialised.
    dialog->style = dialogTemplate.style & ~WS_VISIBLE;
    dialog->exStyle = dialogTemplate.exStyle;
    dialog->owner = owner;
    dialog->dialogProc = dialogProc;
    const posix::Extent nonClient = posix::NonClientExtent(dialog->style);
    const RECT client =
        ScaledRect(scale, dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx, dialogTemplate.cy);
    dialog->rect = {client.left, client.top, client.right + nonClient.width,
                    client.bottom + nonClient.height};
    dialog->SetText(dialogTemplate.caption);
    Window& added = posix::AddTopLevelWindow(std::move(dialog));
    for (const posix::DialogItemTemplate& item : dialogTemplate.items) {
        posix::AddControl(added, MakeControl(item, scale));
    }
    return added;
}

std::optional<posix::DialogTemplate> LoadDialogTemplate(HINSTANCE instance, LPCSTR name) {
    const HRSRC resource = FindResourceA(instance, name, RT_DIALOG);
    const HGLOBAL loaded = resource != nullptr ? LoadResource(instance, resource) : nullptr;
    const DWORD size = loaded != nullptr ? SizeofResource(instance, resource) : 0;
    if (size == 0) {
        return std::nullopt;
    }
    const auto* bytes = static_cast<const std::byte*>(LockResource(loaded));
    std::optional<posix::DialogTemplate> parsed = posix::ParseDialogTemplate({bytes, size});
    if (!parsed) {
        SetLastError(ERROR_INVALID_DATA);
    }
    return parsed;
}

// A dialog made without a procedure answers nothing.
INT_PTR SendToDialog(const Window& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return dialog.dialogProc != nullptr ? dialog.dialogProc(dialog.handle, message, wParam, lParam)
                                        : FALSE;
}

// The control that gets the focus by default: the first one that takes a tab stop and is
// visible and enabled.
HWND DefaultFocus(const Window& dialog) {
    for (const auto& control : dialog.controls) {
        if ((control->style & (WS_TABSTOP | WS_DISABLED)) == WS_TABSTOP && control->visible) {
            return control->handle;
        }
    }
    return nullptr;
}

// The modal loop: the front end's commands go to the procedure as WM_COMMAND (notification
// code 0, the control as lParam) until it ends the dialog. A dialog whose input has run out
// fails.
void RunDialog(HWND handle, posix::FrontEnd& frontEnd) {
    while (Window* dialog = posix::LookupWindow(handle)) {
        if (dialog->ended) {
            return;
        }
        const std::optional<int> command = frontEnd.NextCommand(*dialog);
        if (!command) {
            dialog->result = kDialogFailed;
            return;
        }
        const HWND control = GetDlgItem(handle, *command);
        SendToDialog(*dialog, WM_COMMAND, static_cast<WORD>(*command),
                     reinterpret_cast<LPARAM>(control));
    }
}

}  // namespace

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR wideTemplateName, HWND owner,
                        DLGPROC dialogProc, LPARAM initParam) {
    // The resources are found by their names in the ANSI code page, as the templates' texts.
    const std::string name =
        IS_INTRESOURCE(wideTemplateName) ? std::string{} : host::Utf16ToCp1252(wideTemplateName);
    const LPCSTR templateName =
        IS_INTRESOURCE(wideTemplateName)
            ? MAKEINTRESOURCEA(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wideTemplateName)))
            : name.c_str();
    if (const posix::Injection* injection =
            posix::FindInjection(posix::Api::DialogBoxParamW, posix::ResourceKey(templateName))) {
        SetLastError(injection->error);
        return kDialogFailed;
    }
    posix::FrontEnd* frontEnd = posix::CurrentFrontEnd();
    if (frontEnd == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return kDialogFailed;
    }
    if (owner != nullptr && posix::LookupWindow(owner) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return kDialogFailed;
    }
    const std::optional<posix::DialogTemplate> dialogTemplate =
        LoadDialogTemplate(instance, templateName);
    if (!dialogTemplate) {
        return kDialogFailed;
    }
    const Window& made = MakeDialog(*dialogTemplate, owner, dialogProc, frontEnd->Scale());
    const HWND handle = made.handle;
    // A procedure that answers TRUE leaves the focus to the dialog manager, which gives it to
    // the control it named in wParam.
    const HWND defaultFocus = DefaultFocus(made);
    if (SendToDialog(made, WM_INITDIALOG, reinterpret_cast<WPARAM>(defaultFocus), initParam) !=
            FALSE &&
        defaultFocus != nullptr) {
        SetFocus(defaultFocus);
    }
    Window* dialog = posix::LookupWindow(handle);
    if (dialog != nullptr && !dialog->ended && !dialog->visible) {
        ShowWindow(handle, SW_SHOW);
    }
    RunDialog(handle, *frontEnd);

    dialog = posix::LookupWindow(handle);
    if (dialog == nullptr) {
        // The procedure destroyed its own dialog instead of ending it.
        return kDialogFailed;
    }
    const INT_PTR result = dialog->result;
    DestroyWindow(handle);
    return result;
}

// The dialog disappears at once; the modal loop stops when the procedure has returned.
BOOL EndDialog(HWND handle, INT_PTR result) {
    Window* dialog = posix::LookupWindow(handle);
    if (dialog == nullptr || dialog->kind != WindowKind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = result;
    ShowWindow(handle, SW_HIDE);
    return TRUE;
}

// Ids compare as the WORD they are stored in, so -1 finds the controls without an id.
HWND GetDlgItem(HWND handle, int id) {
    const Window* dialog = posix::LookupWindow(handle);
    if (dialog == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (const auto& control : dialog->controls) {
        if (static_cast<WORD>(control->id) == static_cast<WORD>(id)) {
            return control->handle;
        }
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

// Of the control messages, an edit control takes EM_SETSEL and EM_LIMITTEXT; any other
// message, or one to another control, is refused with 0.
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* control = posix::LookupWindow(GetDlgItem(dialog, id));
    if (control == nullptr) {
        return 0;
    }
    if (control->kind != WindowKind::Edit || (message != EM_LIMITTEXT && message != EM_SETSEL)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (message == EM_LIMITTEXT) {
        control->edit.SetLimit(wParam);
        return 0;
    }
    control->edit.SetSelection(static_cast<int>(wParam), static_cast<int>(lParam));
    Window* parent = control->parent;
    if (posix::FrontEnd* frontEnd = posix::CurrentFrontEnd(); frontEnd && parent->visible) {
        frontEnd->DialogChanged(*parent);
    }
    return 0;
}
