// The dialog templates in the program's resources read back exactly as setup/setup.rc writes
// them, and a damaged template is refused without reading past its bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/dialog_template.h"
#include "platform/posix/resources.h"
#include "setup/resource_ids.h"

namespace {

using posix::DialogTemplate;
using posix::OrdinalOrName;

constexpr DWORD kDialogStyle = 0x80C800C0;
constexpr WORD kNoId = 0xFFFF;

std::span<const std::byte> DialogBytes(int id) {
    const HMODULE instance = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (resource == nullptr) {
        return {};
    }
    return {static_cast<const std::byte*>(LockResource(LoadResource(instance, resource))),
            SizeofResource(instance, resource)};
}

struct ItemExpectation {
    WORD id;
    WORD classAtom;
    DWORD style;
    std::int16_t x, y, cx, cy;
    std::string title;
};

struct DialogExpectation {
    const char* name;
    int id;
    std::int16_t cx, cy;
    std::string caption;
    std::vector<ItemExpectation> items;
};

class DialogResourceTest : public testing::TestWithParam<DialogExpectation> {};

TEST_P(DialogResourceTest, EveryFieldAsWritten) {
    const DialogExpectation& expected = GetParam();
    const std::optional<DialogTemplate> dialog =
        posix::ParseDialogTemplate(DialogBytes(expected.id));
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->style, kDialogStyle);
    EXPECT_EQ(dialog->exStyle, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->cx, expected.cx);
    EXPECT_EQ(dialog->cy, expected.cy);
    EXPECT_EQ(dialog->menu, OrdinalOrName{});
    EXPECT_EQ(dialog->windowClass, OrdinalOrName{});
    EXPECT_EQ(dialog->caption, expected.caption);
    EXPECT_EQ(dialog->font, (posix::DialogFont{8, "MS Sans Serif"}));

    ASSERT_EQ(dialog->items.size(), expected.items.size());
    for (std::size_t index = 0; index < expected.items.size(); ++index) {
        const posix::DialogItemTemplate& item = dialog->items[index];
        const ItemExpectation& want = expected.items[index];
        SCOPED_TRACE(want.id);
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.windowClass, (OrdinalOrName{want.classAtom, {}}));
        EXPECT_EQ(item.style, want.style);
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, want.x);
        EXPECT_EQ(item.y, want.y);
        EXPECT_EQ(item.cx, want.cx);
        EXPECT_EQ(item.cy, want.cy);
        EXPECT_EQ(item.title, (OrdinalOrName{std::nullopt, want.title}));
        EXPECT_TRUE(item.creationData.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Program, DialogResourceTest,
    testing::Values(
        DialogExpectation{
            "PathDialog",
            IDD_PATH_DIALOG,
            186,
            78,
            "Setup",
            {{IDOK, posix::kButtonClassAtom, 0x50010001, 31, 57, 50, 14, "OK"},
             {IDCANCEL, posix::kButtonClassAtom, 0x50010000, 104, 57, 50, 14, "Cancel"},
             {IDC_PROMPT_TEXT, posix::kStaticClassAtom, 0x50020001, 7, 6, 163, 19,
              "Bitte geben Sie den Zielpfad f\xFCr XXX ein:"},
             {IDC_PATH_EDIT, posix::kEditClassAtom, 0x50810088, 49, 33, 119, 12, ""},
             {kNoId, posix::kStaticClassAtom, 0x50020000, 18, 35, 22, 12, "Pfad:"}}},
        DialogExpectation{
            "ProgressDialog",
            IDD_PROGRESS_DIALOG,
            186,
            66,
            "Vemo Kartol Setup",
            {{IDC_WAIT_TEXT, posix::kStaticClassAtom, 0x50020001, 28, 14, 129, 14, "Geduld"},
             {IDC_STATUS_TEXT, posix::kStaticClassAtom, 0x50020000, 12, 34, 162, 21, "Datei"}}}),
    [](const auto& info) { return info.param.name; });

// Each shorter copy of a real template lacks something the parser needs, so every one is
// refused; the copies are exactly as long as the cut, so the sanitizer build catches a read
// beyond them.
TEST(DialogTemplateTest, EveryTruncationIsRefused) {
    for (const int id : {IDD_PATH_DIALOG, IDD_PROGRESS_DIALOG}) {
        const std::span<const std::byte> bytes = DialogBytes(id);
        ASSERT_FALSE(bytes.empty());
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<std::byte> cut(bytes.begin(), bytes.begin() + length);
            EXPECT_FALSE(posix::ParseDialogTemplate(cut).has_value()) << id << " " << length;
        }
    }
}

std::vector<std::byte> Bytes(std::initializer_list<unsigned> values) {
    std::vector<std::byte> bytes;
    for (const unsigned value : values) {
        bytes.push_back(static_cast<std::byte>(value));
    }
    return bytes;
}

TEST(DialogTemplateTest, ClassAndTitleByNameAndCreationData) {
    // No DS_SETFONT, one item; menu 7 by number, class "X", caption "C"; the item of class
    // "MyCtl" with an image title 9 and two bytes of creation data.
    const std::vector<std::byte> bytes = Bytes({
        0x00, 0x00, 0x00, 0x80, 0,   0,   0,  0,   1,   0,  // style WS_POPUP, ex style, one item
        1,    0,    2,    0,    30,  0,   40, 0,            // x, y, cx, cy
        0xFF, 0xFF, 7,    0,    'X', 0,   0,  0,   'C', 0,   0, 0,  // menu, class, caption
        0,    0,                                                    // to the DWORD boundary
        0,    0,    0,    0x50, 0,   0,   0,  0,   5,   0,   6, 0,   7, 0, 8,
        0,    42,   0,    'M',  0,   'y', 0,  'C', 0,   't', 0, 'l', 0, 0, 0,  // class by name
        0xFF, 0xFF, 9,    0,                                                   // title by number
        2,    0,    0xAB, 0xCD,                                                // creation data
    });
    const std::optional<DialogTemplate> dialog = posix::ParseDialogTemplate(bytes);
    ASSERT_TRUE(dialog.has_value());
    EXPECT_EQ(dialog->menu, (OrdinalOrName{7, {}}));
    EXPECT_EQ(dialog->windowClass, (OrdinalOrName{std::nullopt, "X"}));
    EXPECT_EQ(dialog->caption, "C");
    EXPECT_FALSE(dialog->font.has_value());
    ASSERT_EQ(dialog->items.size(), 1u);
    const posix::DialogItemTemplate& item = dialog->items[0];
    EXPECT_EQ(item.id, 42);
    EXPECT_EQ(item.windowClass, (OrdinalOrName{std::nullopt, "MyCtl"}));
    EXPECT_EQ(item.title, (OrdinalOrName{9, {}}));
    EXPECT_EQ(item.creationData, Bytes({0xAB, 0xCD}));
}

TEST(DialogTemplateTest, ExtendedTemplateIsRefused) {
    std::vector<std::byte> bytes = Bytes({1, 0, 0xFF, 0xFF});
    bytes.resize(64);
    EXPECT_FALSE(posix::ParseDialogTemplate(bytes).has_value());
}

}  // namespace
