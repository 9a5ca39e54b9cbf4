// Dialog templates: the program's own are read whole, and a damaged or unsupported template
// is refused without reading past its bytes.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "platform/posix/dialog_template.h"
#include "platform/posix/resources.h"
#include "setup/resource_ids.h"

namespace {

std::span<const std::byte> DialogBytes(int id) {
    const HMODULE instance = GetModuleHandleA(nullptr);
    const HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (resource == nullptr) {
        return {};
    }
    return {static_cast<const std::byte*>(LockResource(LoadResource(instance, resource))),
            SizeofResource(instance, resource)};
}

// The whole template is read; each shorter copy lacks something the parser needs, so every one is
// refused; the copies are exactly as long as the cut, so the sanitizer build catches a read
// beyond them.
TEST(DialogTemplateTest, EveryTruncationIsRefused) {
    for (const int id : {IDD_PATH_DIALOG, IDD_PROGRESS_DIALOG}) {
        const std::span<const std::byte> bytes = DialogBytes(id);
        ASSERT_FALSE(bytes.empty());
        EXPECT_TRUE(posix::ParseDialogTemplate(bytes).has_value()) << id;
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<std::byte> cut(bytes.begin(), bytes.begin() + length);
            EXPECT_FALSE(posix::ParseDialogTemplate(cut).has_value()) << id << " " << length;
        }
    }
}

// The extended form, version 1 with signature 0xFFFF, is not read at all.
TEST(DialogTemplateTest, ExtendedTemplateIsRefused) {
    constexpr std::size_t kPlentyOfBytes = 64;
    std::vector<std::byte> bytes(kPlentyOfBytes);
    bytes[0] = std::byte{1};
    bytes[2] = bytes[3] = std::byte{0xFF};
    EXPECT_FALSE(posix::ParseDialogTemplate(bytes).has_value());
}

}  // namespace
