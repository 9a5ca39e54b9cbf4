// Resource calls and dialog templates over the linked .res file, and templates cut short.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "platform/posix/user32/dialog_template.h"
#include "platform/posix/user32/resources.h"
#include "setup/resource_ids.h"

namespace {

std::span<const std::byte> ResourceBytes(LPCSTR name, LPCSTR type) {
    const HMODULE instance = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(instance, name, type);
    return {static_cast<const std::byte*>(LockResource(LoadResource(instance, resource))),
            SizeofResource(instance, resource)};
}

TEST(ResourceLookupTest, FoundWithItsBytesOrTheWin32Error) {
    // Type names in any case, numbers written as strings (with a leading zero too); no resource
    // carries the class icon's name; the payload is no RCDATA.
    // clang-format off
    const struct { LPCSTR name; LPCSTR type; DWORD error; } kCases[] = {
        {MAKEINTRESOURCEA(IDR_PAYLOAD), "template", ERROR_SUCCESS}, {"#113", "TEMPLATE", ERROR_SUCCESS},
        {"#101", "#5", ERROR_SUCCESS}, {"appicon", RT_GROUP_ICON, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"#11x", "TEMPLATE", ERROR_RESOURCE_NAME_NOT_FOUND}, {"#0113", "TEMPLATE", ERROR_SUCCESS},
        {MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATES", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {MAKEINTRESOURCEA(IDR_PAYLOAD), MAKEINTRESOURCEA(10), ERROR_RESOURCE_TYPE_NOT_FOUND}};
    // clang-format on
    for (int row = 0; const auto& c : kCases) {
        SetLastError(ERROR_SUCCESS);
        const HRSRC resource = FindResourceA(GetModuleHandleA(nullptr), c.name, c.type);
        EXPECT_EQ(GetLastError(), c.error) << "row " << row;
        EXPECT_EQ(resource != nullptr, c.error == ERROR_SUCCESS) << "row " << row;
        const std::span<const std::byte> bytes = ResourceBytes(c.name, c.type);
        EXPECT_EQ(bytes.data() != nullptr && !bytes.empty(), resource != nullptr) << "row " << row;
        ++row;
    }
}

// The program's own templates are read whole; each shorter copy lacks something the parser needs,
// so every one is refused (the copies are exactly as long as the cut, for the sanitizer build),
// and so is each as the extended form (version 1, signature 0xFFFF), which is not read at all.
TEST(DialogTemplateTest, EveryTruncationAndTheExtendedFormAreRefused) {
    for (const int id : {IDD_PATH_DIALOG, IDD_PROGRESS_DIALOG}) {
        const std::span<const std::byte> bytes = ResourceBytes(MAKEINTRESOURCEA(id), RT_DIALOG);
        ASSERT_FALSE(bytes.empty());
        EXPECT_TRUE(posix::ParseDialogTemplate(bytes).has_value()) << id;
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<std::byte> cut(bytes.begin(), bytes.begin() + length);
            EXPECT_FALSE(posix::ParseDialogTemplate(cut).has_value()) << id << " " << length;
        }
        std::vector<std::byte> extended(bytes.begin(), bytes.end());
        extended[0] = std::byte{1}, extended[1] = std::byte{0},
        extended[2] = extended[3] = std::byte{0xFF};
        EXPECT_FALSE(posix::ParseDialogTemplate(extended).has_value()) << id;
    }
}

}  // namespace
