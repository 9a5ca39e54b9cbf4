#include "window_objects.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "formats/program_names.h"
#include "front_end.h"
#include "window_registry.h"

namespace posix {
namespace {

// Fake handle values: far from null, a step apart, never reused in a process.
constexpr std::uintptr_t kFirstHandle = 0x00010010;
constexpr std::uintptr_t kHandleStep = 0x10;

// Class atoms lie where Windows puts those of registered classes.
constexpr ATOM kFirstClassAtom = 0xC000;

HWND NewHandle() {
    static std::uintptr_t next = kFirstHandle;
    const std::uintptr_t value = next;
    next += kHandleStep;
    return reinterpret_cast<HWND>(value);
}

Window& Index(Window& window) {
    window.handle = NewHandle();
    Registry().byHandle[window.handle] = &window;
    return window;
}

void Unindex(const Window& window) {
    for (const auto& control : window.controls) {
        Unindex(*control);
    }
    WindowRegistry& registry = Registry();
    registry.byHandle.erase(window.handle);
    if (registry.focus == window.handle) {
        registry.focus = nullptr;
    }
}

bool HasFrame(DWORD style) {
    return (style & (WS_BORDER | DS_MODALFRAME)) != 0;
}

bool HasCaption(DWORD style) {
    return (style & WS_CAPTION) == WS_CAPTION;
}

}  // namespace

WindowRegistry& Registry() {
    static WindowRegistry registry;
    return registry;
}

void Window::SetText(std::string_view text) {
    if (kind == WindowKind::Edit) {
        edit.SetText(text);
    } else {
        text_.assign(text);
    }
}

Window* LookupWindow(HWND handle) {
    const auto& byHandle = Registry().byHandle;
    const auto found = byHandle.find(handle);
    return found == byHandle.end() ? nullptr : found->second;
}

Window& AddTopLevelWindow(std::unique_ptr<Window> window) {
    Window& added = Index(*window);
    Registry().topLevel.push_back(std::move(window));
    return added;
}

Window& AddControl(Window& dialog, std::unique_ptr<Window> control) {
    control->parent = &dialog;
    Window& added = Index(*control);
    dialog.controls.push_back(std::move(control));
    return added;
}

void RemoveWindow(HWND handle) {
    Window* window = LookupWindow(handle);
    if (window == nullptr) {
        return;
    }
    Unindex(*window);
    auto& siblings = window->parent != nullptr ? window->parent->controls : Registry().topLevel;
    std::erase_if(siblings, [window](const auto& sibling) { return sibling.get() == window; });
}

Window& TopLevelOf(Window& window) {
    Window* top = &window;
    while (top->parent != nullptr) {
        top = top->parent;
    }
    return *top;
}

Window* FocusedControl(const Window& dialog) {
    Window* focused = LookupWindow(Registry().focus);
    return focused != nullptr && focused->parent == &dialog ? focused : nullptr;
}

std::vector<std::vector<Window*>> ControlRows(const Window& dialog) {
    std::vector<Window*> shown;
    for (const auto& control : dialog.controls) {
        if (control->visible) {
            shown.push_back(control.get());
        }
    }
    std::ranges::stable_sort(shown, [](const Window* a, const Window* b) {
        return std::pair(a->rect.top, a->rect.left) < std::pair(b->rect.top, b->rect.left);
    });
    std::vector<std::vector<Window*>> rows;
    for (Window* control : shown) {
        if (rows.empty() || rows.back().front()->rect.top != control->rect.top) {
            rows.emplace_back();
        }
        rows.back().push_back(control);
    }
    return rows;
}

HWND FocusHandle() {
    return Registry().focus;
}

void SetFocusHandle(HWND handle) {
    Registry().focus = handle;
}

RECT ClientRectOnScreen(const Window& dialog) {
    const FrontEnd* frontEnd = CurrentFrontEnd();
    const DialogScale scale = frontEnd != nullptr ? frontEnd->Scale() : DialogScale{};
    const int frame = HasFrame(dialog.style) ? scale.frame : 0;
    const int caption = HasCaption(dialog.style) ? scale.caption : 0;
    return {dialog.rect.left + frame, dialog.rect.top + frame + caption, dialog.rect.right - frame,
            dialog.rect.bottom - frame};
}

Extent NonClientExtent(DWORD style) {
    const FrontEnd* frontEnd = CurrentFrontEnd();
    const DialogScale scale = frontEnd != nullptr ? frontEnd->Scale() : DialogScale{};
    const int frame = HasFrame(style) ? scale.frame : 0;
    const int caption = HasCaption(style) ? scale.caption : 0;
    return {2 * frame, 2 * frame + caption};
}

const WindowClass* FindWindowClass(LPCSTR nameOrAtom) {
    if (nameOrAtom == nullptr) {
        return nullptr;
    }
    const auto& classes = Registry().classes;
    const auto found = std::ranges::find_if(classes, [nameOrAtom](const WindowClass& candidate) {
        return IS_INTRESOURCE(nameOrAtom)
                   ? candidate.atom == reinterpret_cast<ULONG_PTR>(nameOrAtom)
                   : names::SameIgnoringCase(candidate.name, nameOrAtom);
    });
    return found == classes.end() ? nullptr : &*found;
}

ATOM AddWindowClass(std::string_view name, WNDPROC windowProc) {
    auto& classes = Registry().classes;
    const auto atom = static_cast<ATOM>(kFirstClassAtom + classes.size());
    classes.push_back({std::string(name), atom, windowProc});
    return atom;
}

void PostQuit(int exitCode) {
    Registry().quitCode = exitCode;
}

}  // namespace posix
