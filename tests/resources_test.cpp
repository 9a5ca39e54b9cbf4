// The resource calls over the .res file linked into the program: names and types in each of
// their written forms, a missing one failing with the Win32 error, and a damaged file that
// never makes the reader leave its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <vector>

#include "platform/posix/embedded_resources.h"
#include "platform/posix/resources.h"
#include "setup/resource_ids.h"

namespace {

// How a resource is named in a lookup; `error` is ERROR_SUCCESS when it is found.
struct LookupCase {
    const char* name;
    LPCSTR resourceName;
    LPCSTR type;
    DWORD error;
};

class ResourceLookupTest : public testing::TestWithParam<LookupCase> {};

TEST_P(ResourceLookupTest, FoundWithItsBytesOrTheWin32Error) {
    const HMODULE instance = GetModuleHandleA(nullptr);
    SetLastError(ERROR_SUCCESS);
    const HRSRC resource = FindResourceA(instance, GetParam().resourceName, GetParam().type);
    EXPECT_EQ(GetLastError(), GetParam().error);
    if (GetParam().error != ERROR_SUCCESS) {
        EXPECT_EQ(resource, nullptr);
        return;
    }
    ASSERT_NE(resource, nullptr);
    EXPECT_NE(LockResource(LoadResource(instance, resource)), nullptr);
    EXPECT_GT(SizeofResource(instance, resource), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Program, ResourceLookupTest,
    testing::Values(
        LookupCase{"TypeNameAnyCase", MAKEINTRESOURCEA(IDR_PAYLOAD), "template", ERROR_SUCCESS},
        LookupCase{"NumberWrittenAsString", "#113", "TEMPLATE", ERROR_SUCCESS},
        LookupCase{"TypeNumberAsString", "#101", "#5", ERROR_SUCCESS},
        // The class icon's name: no resource carries it.
        LookupCase{"IconByName", "appicon", RT_GROUP_ICON, ERROR_RESOURCE_NAME_NOT_FOUND},
        LookupCase{"NotANumber", "#11x", "TEMPLATE", ERROR_RESOURCE_NAME_NOT_FOUND},
        LookupCase{"NoSuchType", MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATES",
                   ERROR_RESOURCE_TYPE_NOT_FOUND},
        LookupCase{"PayloadIsNotRcData", MAKEINTRESOURCEA(IDR_PAYLOAD), MAKEINTRESOURCEA(10),
                   ERROR_RESOURCE_TYPE_NOT_FOUND}),
    [](const auto& info) { return info.param.name; });

// Cuts of the real file keep the entries that lie wholly before the cut and read nothing
// beyond it (the sanitizer build catches a read past the end of the copy). The cuts cover
// every header, which all lie before the payload's data, and the end of the file.
TEST(ResourceFileTest, TruncatedFileKeepsTheCompleteEntries) {
    constexpr std::size_t kHeaderRegion = 4096;
    constexpr std::size_t kTail = 64;
    const std::span<const std::byte> file = posix::EmbeddedResources();
    const std::size_t wholeCount = posix::ParseResourceFile(file).size();
    std::vector<std::size_t> lengths;
    for (std::size_t length = 0; length <= file.size(); ++length) {
        if (length <= kHeaderRegion || file.size() - length <= kTail) {
            lengths.push_back(length);
        }
    }
    for (const std::size_t length : lengths) {
        const std::vector<std::byte> cut(file.begin(), file.begin() + length);
        const std::vector<posix::ResourceEntry> entries = posix::ParseResourceFile(cut);
        ASSERT_LE(entries.size(), wholeCount);
        for (const posix::ResourceEntry& entry : entries) {
            ASSERT_LE(entry.data.data() + entry.data.size(), cut.data() + cut.size());
        }
        if (length == file.size()) {
            EXPECT_EQ(entries.size(), wholeCount);
        }
    }
}

TEST(ResourceFileTest, HeaderSizeBeyondTheFileEndsTheList) {
    // data size 0, header size 0xFFFFFFF0, type 5, name 1: a header that claims the world.
    const unsigned char bytes[] = {0, 0,    0,    0, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5,
                                   0, 0xFF, 0xFF, 1, 0,    0,    0,    0,    0,    0,    0,
                                   7, 4,    0,    0, 0,    0,    0,    0,    0,    0};
    EXPECT_TRUE(posix::ParseResourceFile(std::as_bytes(std::span(bytes))).empty());
}

}  // namespace
