// The standard dialog template (DLGTEMPLATE followed by its DLGITEMTEMPLATEs), as windres
// writes it for a DIALOG statement: the bytes that DialogBoxParamW builds a dialog from.
//
// Contract: ParseDialogTemplate reads only inside the bytes it is given. It yields nothing
// for a truncated template, for a string without its terminator, and for the extended form
// (DLGTEMPLATEEX, which a DIALOGEX statement makes and the program does not use).
#ifndef KARTOL_PLATFORM_POSIX_DIALOG_TEMPLATE_H
#define KARTOL_PLATFORM_POSIX_DIALOG_TEMPLATE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "platform/posix/include/win32.h"

namespace posix {

// The predefined control classes, stored as an atom in the item's class field.
inline constexpr WORD kButtonClassAtom = 0x0080;
inline constexpr WORD kEditClassAtom = 0x0081;
inline constexpr WORD kStaticClassAtom = 0x0082;

struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    WORD id = 0;
    OrdinalOrName windowClass;
    OrdinalOrName title;
    std::vector<std::byte> creationData;
};

struct DialogFont {
    WORD pointSize = 0;
    std::string typeface;

    bool operator==(const DialogFont&) const = default;
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t cx = 0;
    std::int16_t cy = 0;
    OrdinalOrName menu;
    OrdinalOrName windowClass;
    std::string caption;
    // Present when the style has DS_SETFONT.
    std::optional<DialogFont> font;
    std::vector<DialogItemTemplate> items;
};

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::byte> bytes);

}  // namespace posix

#endif
