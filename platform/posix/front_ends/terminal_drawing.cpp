#include "terminal_drawing.h"

#include <algorithm>
#include <string>
#include <vector>

namespace posix {
namespace {

// The frame line on each side of a dialog or box, and the blank column that a caption keeps
// from the frame.
constexpr int kFrame = 1;
constexpr int kCaptionIndent = 1;
// Message boxes: rows top to bottom are the frame, the caption, a blank row, the text, a
// blank row, the button and the frame; a blank column pads the text on either side. The
// lines are no wider than the maximum, and the box keeps a margin from the screen's edges.
// On a low screen the blank rows go first, then the text's last lines.
constexpr int kBoxButtonGap = 2;
constexpr int kBoxPadding = 1;
constexpr int kBoxMaxTextWidth = 60;
constexpr int kBoxScreenMargin = 2;
constexpr int kBoxRowsAboveBlank = 2;
constexpr int kBoxBlankRows = 2;
constexpr int kBoxRowsBelowBlank = 2;
constexpr int kBoxButtonAboveBottom = 2;
// Code page 1252's "…", which ends the last line of a text cut short.
constexpr char kEllipsis = '\x85';
// A dialog drawn compact: cells between the controls of a row; a button's bracket and the
// blank inside it, on either side of its label.
constexpr int kCompactGap = 2;
constexpr int kButtonBracket = 1;
constexpr int kCompactButtonPadding = 1;

int Width(const RECT& rect) {
    return rect.right - rect.left;
}
int Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

// A window's blank face in its frame, with the caption row inside the top of the frame in
// reverse video like a title bar.
void DrawFramedWindow(Canvas& canvas, const RECT& outer, std::string_view caption) {
    canvas.Fill(outer.left, outer.top, Width(outer), Height(outer), kPlain);
    canvas.Frame(outer.left, outer.top, Width(outer), Height(outer));
    const int row = outer.top + kFrame;
    const int width = Width(outer) - 2 * kFrame;
    canvas.Fill(outer.left + kFrame, row, width, 1, kReverse | kBold);
    canvas.PutText(outer.left + kFrame + kCaptionIndent, row, caption, kReverse | kBold,
                   width - 2 * kCaptionIndent);
}

// Keeps the first `count` lines; when that drops some, the last one kept ends in "…". Where
// that line has no room left, its last word gives way to the mark, so that no word is cut.
void KeepFirstLines(std::vector<std::string>& lines, std::size_t count, std::size_t width) {
    if (lines.size() <= count) {
        return;
    }
    lines.resize(count);
    if (lines.empty()) {
        return;
    }
    std::string& last = lines.back();
    if (last.size() >= width) {
        const std::size_t blank = last.rfind(' ');
        last.resize(blank != std::string::npos ? blank : width - 1);
    }
    last += kEllipsis;
}

// A static text's lines in its cells, aligned as its style says.
void DrawLines(Canvas& canvas, const std::vector<std::string>& lines, DWORD style,
               const RECT& cells) {
    const int width = Width(cells);
    const int rows = std::min(static_cast<int>(lines.size()), std::max(Height(cells), 1));
    const DWORD align = style & SS_TYPEMASK;
    for (int index = 0; index < rows; ++index) {
        const std::string& line = lines[static_cast<std::size_t>(index)];
        const int slack = width - static_cast<int>(line.size());
        const int offset = align == SS_CENTER ? slack / 2 : align == SS_RIGHT ? slack : 0;
        canvas.PutText(cells.left + offset, cells.top + index, line, kPlain, width);
    }
}

void DrawStatic(Canvas& canvas, const Window& control, const RECT& cells) {
    const std::size_t width = static_cast<std::size_t>(std::max(Width(cells), 0));
    DrawLines(canvas, WrapText(control.Text(), width), control.style, cells);
}

std::optional<CellPosition> DrawEdit(Canvas& canvas, Window& control, const RECT& cells,
                                     bool focused) {
    EditField& field = control.edit;
    const int width = Width(cells);
    if (width <= 0) {
        return std::nullopt;
    }
    const std::size_t scroll = field.ScrollToCaret(static_cast<std::size_t>(width));
    canvas.Fill(cells.left, cells.top, width, 1, kUnderline);
    const std::string& text = field.Text();
    for (int column = 0; column < width; ++column) {
        const std::size_t position = scroll + static_cast<std::size_t>(column);
        if (position >= text.size()) {
            break;
        }
        const bool selected =
            focused && position >= field.SelectionStart() && position < field.SelectionEnd();
        canvas.PutText(cells.left + column, cells.top, text.substr(position, 1),
                       selected ? kUnderline | kReverse : kUnderline, 1);
    }
    if (!focused) {
        return std::nullopt;
    }
    return CellPosition{cells.left + static_cast<int>(field.Caret() - scroll), cells.top};
}

void DrawButton(Canvas& canvas, const Window& control, const RECT& cells, bool focused) {
    const int width = Width(cells);
    if (width < 2) {
        return;
    }
    const bool isDefault = (control.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    const CellStyle style = (focused ? kReverse : kPlain) | (isDefault ? kBold : kPlain);
    canvas.Fill(cells.left, cells.top, width, 1, style);
    canvas.PutChar(cells.left, cells.top, isDefault ? U'<' : U'[', style);
    canvas.PutChar(cells.right - 1, cells.top, isDefault ? U'>' : U']', style);
    const std::string& label = control.Text();
    const int inner = width - 2;
    const int offset = std::max((inner - static_cast<int>(label.size())) / 2, 0);
    canvas.PutText(cells.left + 1 + offset, cells.top, label, style, inner);
}

// Draws the control in its cells; the caret's cell when it is the focused edit field.
std::optional<CellPosition> DrawControl(Canvas& canvas, Window& control, const RECT& cells,
                                        const Window* focus) {
    const bool focused = &control == focus;
    switch (control.kind) {
        case WindowKind::Static:
            DrawStatic(canvas, control, cells);
            break;
        case WindowKind::Edit:
            return DrawEdit(canvas, control, cells, focused);
        case WindowKind::Button:
            DrawButton(canvas, control, cells, focused);
            break;
        default:
            break;
    }
    return std::nullopt;
}

// A static text alone in its row, which the compact dialog wraps to its width.
bool IsTextRow(const std::vector<Window*>& row) {
    return row.size() == 1 && row.front()->kind == WindowKind::Static;
}

// The cells a control takes in a compact row: a text its length, a button its label with a
// blank either side in brackets; an edit field shares what the row leaves.
int CompactWidth(const Window& control) {
    const int label = static_cast<int>(control.Text().size());
    switch (control.kind) {
        case WindowKind::Static:
            return label;
        case WindowKind::Button:
            return label + 2 * (kButtonBracket + kCompactButtonPadding);
        default:
            return 0;
    }
}

// The controls of a row side by side, the row centred; the caret's cell if it has it.
std::optional<CellPosition> DrawCompactRow(Canvas& canvas, const std::vector<Window*>& row,
                                           const RECT& cells, const Window* focus) {
    int used = kCompactGap * (static_cast<int>(row.size()) - 1);
    int edits = 0;
    for (const Window* control : row) {
        used += CompactWidth(*control);
        edits += control->kind == WindowKind::Edit ? 1 : 0;
    }
    const int editWidth = edits > 0 ? std::max((Width(cells) - used) / edits, 1) : 0;
    int left = cells.left + std::max((Width(cells) - used - editWidth * edits) / 2, 0);
    std::optional<CellPosition> caret;
    for (Window* control : row) {
        const int width = control->kind == WindowKind::Edit ? editWidth : CompactWidth(*control);
        const RECT controlCells = {left, cells.top, std::min(left + width, cells.right),
                                   cells.bottom};
        if (const auto position = DrawControl(canvas, *control, controlCells, focus)) {
            caret = position;
        }
        left += width + kCompactGap;
    }
    return caret;
}

// A dialog larger than the screen, laid out as a message box is: no wider than the screen, its
// rows of controls in reading order, each text wrapped to the width. On a low screen the blank
// rows between them go first, then the texts' last lines, the lowest text first, down to one
// line each.
std::optional<CellPosition> DrawCompactDialog(Canvas& canvas, Window& dialog) {
    const int width = std::min(Width(dialog.rect), canvas.Width());
    const int inner = std::max(width - 2 * (kFrame + kBoxPadding), 1);
    const std::vector<std::vector<Window*>> rows = ControlRows(dialog);
    std::vector<std::vector<std::string>> texts(rows.size());
    int contentRows = 0;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        texts[index] = IsTextRow(rows[index])
                           ? WrapText(rows[index].front()->Text(), static_cast<std::size_t>(inner))
                           : std::vector<std::string>(1);
        contentRows += static_cast<int>(texts[index].size());
    }
    const int available = canvas.Height() - kBoxRowsAboveBlank - kFrame;
    for (std::size_t index = rows.size(); index-- > 0 && contentRows > available;) {
        const int lines = static_cast<int>(texts[index].size());
        const int keep = std::max(lines - (contentRows - available), 1);
        KeepFirstLines(texts[index], static_cast<std::size_t>(keep),
                       static_cast<std::size_t>(inner));
        contentRows -= lines - keep;
    }
    int blanks =
        std::clamp(available - contentRows, 0, std::max(static_cast<int>(rows.size()) - 1, 0));

    const int height = kBoxRowsAboveBlank + contentRows + blanks + kFrame;
    const int left = (canvas.Width() - width) / 2;
    int top = (canvas.Height() - height) / 2;
    DrawFramedWindow(canvas, {left, top, left + width, top + height}, dialog.Text());
    const int textLeft = left + kFrame + kBoxPadding;
    top += kBoxRowsAboveBlank;
    const Window* focus = FocusedControl(dialog);
    std::optional<CellPosition> caret;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (index > 0 && blanks > 0) {
            --blanks;
            ++top;
        }
        const int lines = static_cast<int>(texts[index].size());
        const RECT cells = {textLeft, top, textLeft + inner, top + lines};
        if (IsTextRow(rows[index])) {
            DrawLines(canvas, texts[index], rows[index].front()->style, cells);
        } else if (const auto position = DrawCompactRow(canvas, rows[index], cells, focus)) {
            caret = position;
        }
        top += lines;
    }
    return caret;
}

}  // namespace

std::optional<CellPosition> DrawDialog(Canvas& canvas, Window& dialog) {
    if (Width(dialog.rect) > canvas.Width() || Height(dialog.rect) > canvas.Height()) {
        return DrawCompactDialog(canvas, dialog);
    }
    DrawFramedWindow(canvas, dialog.rect, dialog.Text());

    const RECT client = ClientRectOnScreen(dialog);
    const Window* focus = FocusedControl(dialog);
    std::optional<CellPosition> caret;
    for (const auto& control : dialog.controls) {
        if (!control->visible) {
            continue;
        }
        // Clipped to the client area, as a child window is.
        const RECT cells = {client.left + control->rect.left, client.top + control->rect.top,
                            std::min(client.left + control->rect.right, client.right),
                            std::min(client.top + control->rect.bottom, client.bottom)};
        if (const auto position = DrawControl(canvas, *control, cells, focus)) {
            caret = position;
        }
    }
    return caret;
}

// A box button's cells: its label between brackets, a blank on either side.
std::string BoxButtonText(const BoxButton& button) {
    return "[ " + std::string(button.label) + " ]";
}

// A box larger than the screen keeps its buttons on it: the box is no wider than the screen
// but for the buttons, and the text loses its last lines, the last line shown ending in "…".
void DrawMessageBox(Canvas& canvas, std::string_view caption, std::string_view text,
                    const BoxChoice& choice) {
    const int available = canvas.Width() - 2 * (kBoxScreenMargin + kFrame + kBoxPadding);
    const int textWidth = std::clamp(available, 1, kBoxMaxTextWidth);
    std::vector<std::string> lines = WrapText(text, static_cast<std::size_t>(textWidth));
    const int textRows = std::max(canvas.Height() - kBoxRowsAboveBlank - kBoxRowsBelowBlank, 0);
    KeepFirstLines(lines, static_cast<std::size_t>(textRows), static_cast<std::size_t>(textWidth));

    const std::span<const BoxButton> buttons = BoxButtons(choice.type);
    int buttonsWidth = -kBoxButtonGap;
    for (const BoxButton& button : buttons) {
        buttonsWidth += static_cast<int>(BoxButtonText(button).size()) + kBoxButtonGap;
    }
    int inner = std::max(static_cast<int>(caption.size()), buttonsWidth) + 2 * kBoxPadding;
    for (const std::string& line : lines) {
        inner = std::max(inner, static_cast<int>(line.size()) + 2 * kBoxPadding);
    }
    inner = std::max(std::min(inner, canvas.Width() - 2 * kFrame), buttonsWidth);

    const int width = inner + 2 * kFrame;
    const int rows = static_cast<int>(lines.size());
    const int blanks = std::clamp(canvas.Height() - kBoxRowsAboveBlank - rows - kBoxRowsBelowBlank,
                                  0, kBoxBlankRows);
    const int height = kBoxRowsAboveBlank + blanks + rows + kBoxRowsBelowBlank;
    const int left = (canvas.Width() - width) / 2;
    const int top = (canvas.Height() - height) / 2;
    DrawFramedWindow(canvas, {left, top, left + width, top + height}, caption);
    const int textLeft = left + kFrame + kBoxPadding;
    // The one blank row that a low screen leaves goes above the text.
    const int textTop = top + kBoxRowsAboveBlank + std::min(blanks, 1);
    for (int index = 0; index < rows; ++index) {
        canvas.PutText(textLeft, textTop + index, lines[static_cast<std::size_t>(index)], kPlain,
                       inner - 2 * kBoxPadding);
    }
    int buttonLeft = left + kFrame + (inner - buttonsWidth) / 2;
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        const std::string label = BoxButtonText(buttons[index]);
        const CellStyle style = index == choice.focused ? kReverse | kBold : kPlain;
        canvas.PutText(buttonLeft, top + height - kBoxButtonAboveBottom, label, style,
                       static_cast<int>(label.size()));
        buttonLeft += static_cast<int>(label.size()) + kBoxButtonGap;
    }
}

}  // namespace posix
