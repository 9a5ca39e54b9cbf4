#include "terminal_canvas.h"

#include <algorithm>

#include "platform/host/codepage.h"

namespace posix {
namespace {

constexpr char32_t kHorizontal = U'\u2500';
constexpr char32_t kVertical = U'\u2502';
constexpr char32_t kTopLeft = U'\u250C';
constexpr char32_t kTopRight = U'\u2510';
constexpr char32_t kBottomLeft = U'\u2514';
constexpr char32_t kBottomRight = U'\u2518';

constexpr char kCsi[] = "\x1b[";

std::string StyleSequence(CellStyle style) {
    std::string sequence = std::string(kCsi) + "0";
    if ((style & kBold) != 0) {
        sequence += ";1";
    }
    if ((style & kUnderline) != 0) {
        sequence += ";4";
    }
    if ((style & kReverse) != 0) {
        sequence += ";7";
    }
    return sequence + "m";
}

std::string MoveTo(int column, int row) {
    return kCsi + std::to_string(row + 1) + ";" + std::to_string(column + 1) + "H";
}

void TrimBlanks(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
}

void WrapParagraph(std::string_view paragraph, std::size_t width, std::vector<std::string>& lines) {
    while (paragraph.size() > width) {
        std::size_t breakAt = paragraph.rfind(' ', width);
        std::size_t resumeAt = breakAt + 1;
        if (breakAt == std::string_view::npos || breakAt == 0) {
            breakAt = resumeAt = width;
        }
        std::string_view line = paragraph.substr(0, breakAt);
        while (!line.empty() && line.back() == ' ') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        paragraph.remove_prefix(resumeAt);
        TrimBlanks(paragraph);
    }
    lines.emplace_back(paragraph);
}

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) {}

std::optional<std::size_t> Canvas::IndexOf(int column, int row) const {
    if (column < 0 || row < 0 || column >= width_ || row >= height_) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(column);
}

void Canvas::PutChar(int column, int row, char32_t codePoint, CellStyle style) {
    if (const std::optional<std::size_t> index = IndexOf(column, row)) {
        cells_[*index] = {codePoint, style};
    }
}

void Canvas::PutText(int column, int row, std::string_view cp1252Text, CellStyle style,
                     int maxWidth) {
    const int count = std::min(static_cast<int>(cp1252Text.size()), maxWidth);
    for (int index = 0; index < count; ++index) {
        const auto byte = static_cast<unsigned char>(cp1252Text[static_cast<std::size_t>(index)]);
        // Control characters take a cell but show as blanks.
        PutChar(column + index, row, byte < ' ' ? U' ' : host::Cp1252ToCodePoint(byte), style);
    }
}

void Canvas::Fill(int column, int row, int width, int height, CellStyle style) {
    for (int y = row; y < row + height; ++y) {
        for (int x = column; x < column + width; ++x) {
            PutChar(x, y, U' ', style);
        }
    }
}

void Canvas::Frame(int column, int row, int width, int height) {
    if (width < 2 || height < 2) {
        return;
    }
    const int right = column + width - 1;
    const int bottom = row + height - 1;
    for (int x = column + 1; x < right; ++x) {
        PutChar(x, row, kHorizontal, kPlain);
        PutChar(x, bottom, kHorizontal, kPlain);
    }
    for (int y = row + 1; y < bottom; ++y) {
        PutChar(column, y, kVertical, kPlain);
        PutChar(right, y, kVertical, kPlain);
    }
    PutChar(column, row, kTopLeft, kPlain);
    PutChar(right, row, kTopRight, kPlain);
    PutChar(column, bottom, kBottomLeft, kPlain);
    PutChar(right, bottom, kBottomRight, kPlain);
}

char32_t Canvas::CharAt(int column, int row) const {
    const std::optional<std::size_t> index = IndexOf(column, row);
    return index ? cells_[*index].codePoint : U' ';
}

CellStyle Canvas::StyleAt(int column, int row) const {
    const std::optional<std::size_t> index = IndexOf(column, row);
    return index ? cells_[*index].style : kPlain;
}

std::string Canvas::RowText(int row) const {
    std::string text;
    for (int column = 0; column < width_; ++column) {
        text += host::CodePointToUtf8(CharAt(column, row));
    }
    return text;
}

std::string Canvas::Render(std::optional<CellPosition> cursor) const {
    std::string out = std::string(kCsi) + "?25l";
    for (int row = 0; row < height_; ++row) {
        out += MoveTo(0, row);
        std::optional<CellStyle> current;
        for (int column = 0; column < width_; ++column) {
            const CellStyle style = StyleAt(column, row);
            if (style != current) {
                out += StyleSequence(style);
                current = style;
            }
            out += host::CodePointToUtf8(CharAt(column, row));
        }
    }
    out += StyleSequence(kPlain);
    if (cursor) {
        out += MoveTo(cursor->column, cursor->row) + kCsi + "?25h";
    }
    return out;
}

std::vector<std::string> WrapText(std::string_view text, std::size_t width) {
    std::vector<std::string> lines;
    if (width == 0) {
        return lines;
    }
    // A final line feed ends the last line; it does not start an empty one.
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    for (;;) {
        const std::size_t lineFeed = text.find('\n');
        std::string_view paragraph = text.substr(0, lineFeed);
        if (!paragraph.empty() && paragraph.back() == '\r') {
            paragraph.remove_suffix(1);
        }
        WrapParagraph(paragraph, width, lines);
        if (lineFeed == std::string_view::npos) {
            return lines;
        }
        text.remove_prefix(lineFeed + 1);
    }
}

}  // namespace posix
