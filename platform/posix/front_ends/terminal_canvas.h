// A screen of character cells that the terminal front end draws a whole frame into before
// it writes it out in one piece, so the terminal never shows half a redraw.
#ifndef KARTOL_PLATFORM_POSIX_TERMINAL_CANVAS_H
#define KARTOL_PLATFORM_POSIX_TERMINAL_CANVAS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posix {

// Character styles of a cell, combined as bits.
using CellStyle = std::uint8_t;
inline constexpr CellStyle kPlain = 0;
inline constexpr CellStyle kBold = 1;
inline constexpr CellStyle kReverse = 2;
inline constexpr CellStyle kUnderline = 4;

struct CellPosition {
    int column;
    int row;
    bool operator==(const CellPosition&) const = default;
};

class Canvas {
  public:
    Canvas(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Code page 1252 text from (column, row) on, one cell per byte, at most `maxWidth`
    // cells; whatever falls outside the canvas is left out.
    void PutText(int column, int row, std::string_view cp1252Text, CellStyle style, int maxWidth);
    void PutChar(int column, int row, char32_t codePoint, CellStyle style);
    void Fill(int column, int row, int width, int height, CellStyle style);
    // A frame of box-drawing lines around the rectangle's edge.
    void Frame(int column, int row, int width, int height);

    // The code point and style of a cell, for tests and for the output.
    char32_t CharAt(int column, int row) const;
    CellStyle StyleAt(int column, int row) const;
    // A row's characters as UTF-8.
    std::string RowText(int row) const;

    // The escape sequences that show this canvas on a terminal from its top-left corner,
    // with the cursor shown at `cursor` or hidden.
    std::string Render(std::optional<CellPosition> cursor) const;

  private:
    struct Cell {
        char32_t codePoint = U' ';
        CellStyle style = kPlain;
    };

    std::optional<std::size_t> IndexOf(int column, int row) const;

    int width_;
    int height_;
    std::vector<Cell> cells_;
};

// Breaks code page 1252 text into lines of at most `width` characters as a static control
// does: at line feeds, else after the last blank that fits; a word longer than a line is cut.
// Blanks at a break are dropped.
std::vector<std::string> WrapText(std::string_view text, std::size_t width);

}  // namespace posix

#endif
