#include "dialog_template.h"

#include "byte_reader.h"
#include "platform/host/codepage.h"

namespace posix {
namespace {

// DLGTEMPLATEEX starts with the version 1 and this signature.
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr WORD kExtendedVersion = 1;
constexpr std::size_t kItemAlignment = sizeof(DWORD);

std::optional<std::string> ReadText(ByteReader& reader) {
    const std::optional<std::u16string> text = reader.String();
    if (!text) {
        return std::nullopt;
    }
    return host::Utf16ToCp1252(*text);
}

// x, y, cx and cy, four signed WORDs.
bool ReadBox(ByteReader& reader, std::int16_t& x, std::int16_t& y, std::int16_t& cx,
             std::int16_t& cy) {
    for (std::int16_t* field : {&x, &y, &cx, &cy}) {
        const std::optional<WORD> value = reader.Word();
        if (!value) {
            return false;
        }
        *field = static_cast<std::int16_t>(*value);
    }
    return true;
}

std::optional<DialogItemTemplate> ReadItem(ByteReader& reader) {
    DialogItemTemplate item;
    const std::optional<DWORD> style = reader.Dword();
    const std::optional<DWORD> exStyle = reader.Dword();
    if (!style || !exStyle || !ReadBox(reader, item.x, item.y, item.cx, item.cy)) {
        return std::nullopt;
    }
    item.style = *style;
    item.exStyle = *exStyle;
    const std::optional<WORD> id = reader.Word();
    if (!id) {
        return std::nullopt;
    }
    item.id = *id;
    std::optional<OrdinalOrName> windowClass = ReadOrdinalOrName(reader);
    if (!windowClass) {
        return std::nullopt;
    }
    item.windowClass = std::move(*windowClass);
    std::optional<OrdinalOrName> title = ReadOrdinalOrName(reader);
    if (!title) {
        return std::nullopt;
    }
    item.title = std::move(*title);
    // The creation data: its length in bytes, not counting the length word, then the data.
    const std::optional<WORD> dataSize = reader.Word();
    if (!dataSize) {
        return std::nullopt;
    }
    const auto data = reader.Bytes(*dataSize);
    if (!data) {
        return std::nullopt;
    }
    item.creationData.assign(data->begin(), data->end());
    return item;
}

bool IsExtendedTemplate(std::span<const std::byte> bytes) {
    ByteReader reader(bytes);
    const std::optional<WORD> version = reader.Word();
    const std::optional<WORD> signature = reader.Word();
    return version == kExtendedVersion && signature == kExtendedSignature;
}

bool ReadHeader(ByteReader& reader, DialogTemplate& dialog, WORD& itemCount) {
    const std::optional<DWORD> style = reader.Dword();
    const std::optional<DWORD> exStyle = reader.Dword();
    const std::optional<WORD> count = reader.Word();
    if (!style || !exStyle || !count ||
        !ReadBox(reader, dialog.x, dialog.y, dialog.cx, dialog.cy)) {
        return false;
    }
    dialog.style = *style;
    dialog.exStyle = *exStyle;
    itemCount = *count;

    std::optional<OrdinalOrName> menu = ReadOrdinalOrName(reader);
    std::optional<OrdinalOrName> windowClass = menu ? ReadOrdinalOrName(reader) : std::nullopt;
    std::optional<std::string> caption = windowClass ? ReadText(reader) : std::nullopt;
    if (!caption) {
        return false;
    }
    dialog.menu = std::move(*menu);
    dialog.windowClass = std::move(*windowClass);
    dialog.caption = std::move(*caption);

    if ((dialog.style & DS_SETFONT) != 0) {
        const std::optional<WORD> pointSize = reader.Word();
        std::optional<std::string> typeface = pointSize ? ReadText(reader) : std::nullopt;
        if (!typeface) {
            return false;
        }
        dialog.font = DialogFont{*pointSize, std::move(*typeface)};
    }
    return true;
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::byte> bytes) {
    if (IsExtendedTemplate(bytes)) {
        return std::nullopt;
    }
    ByteReader reader(bytes);
    DialogTemplate dialog;
    WORD itemCount = 0;
    if (!ReadHeader(reader, dialog, itemCount)) {
        return std::nullopt;
    }
    for (WORD index = 0; index < itemCount; ++index) {
        if (!reader.Align(kItemAlignment)) {
            return std::nullopt;
        }
        std::optional<DialogItemTemplate> item = ReadItem(reader);
        if (!item) {
            return std::nullopt;
        }
        dialog.items.push_back(std::move(*item));
    }
    return dialog;
}

}  // namespace posix
