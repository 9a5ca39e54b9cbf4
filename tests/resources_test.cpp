// The resource calls over the .res file linked into the program: every resource the program
// looks up is found, a missing one fails with the Win32 error, and a damaged file never
// makes the reader leave its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/embedded_resources.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/resources.h"
#include "setup/resource_ids.h"

namespace {

constexpr WORD kGermanGermany = 1031;
constexpr DWORD kIconImageSize = 2216;
// The SZDD signature that starts the compressed payload.
constexpr unsigned char kSzddSignature[] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};

class ResourcesTest : public testing::Test {
  protected:
    void TearDown() override { posix::ClearInjections(); }

    const HMODULE instance_ = GetModuleHandleA(nullptr);
};

struct FoundCase {
    const char* name;
    LPCSTR resourceName;
    LPCSTR type;
};

class FoundResourceTest : public ResourcesTest, public testing::WithParamInterface<FoundCase> {};

TEST_P(FoundResourceTest, FoundLoadedAndSized) {
    const HRSRC resource = FindResourceA(instance_, GetParam().resourceName, GetParam().type);
    ASSERT_NE(resource, nullptr);
    const HGLOBAL loaded = LoadResource(instance_, resource);
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(LockResource(loaded), nullptr);
    EXPECT_GT(SizeofResource(instance_, resource), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Program, FoundResourceTest,
    testing::Values(FoundCase{"PathDialog", MAKEINTRESOURCEA(IDD_PATH_DIALOG), RT_DIALOG},
                    FoundCase{"ProgressDialog", MAKEINTRESOURCEA(IDD_PROGRESS_DIALOG), RT_DIALOG},
                    FoundCase{"IconGroup", MAKEINTRESOURCEA(IDI_APP_ICON), RT_GROUP_ICON},
                    FoundCase{"Payload", MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATE"},
                    FoundCase{"TypeNameAnyCase", MAKEINTRESOURCEA(IDR_PAYLOAD), "template"},
                    FoundCase{"NumberWrittenAsString", "#113", "TEMPLATE"},
                    FoundCase{"TypeNumberAsString", "#101", "#5"}),
    [](const auto& info) { return info.param.name; });

struct MissingCase {
    const char* name;
    LPCSTR resourceName;
    LPCSTR type;
    DWORD error;
};

class MissingResourceTest : public ResourcesTest,
                            public testing::WithParamInterface<MissingCase> {};

TEST_P(MissingResourceTest, NotFound) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(FindResourceA(instance_, GetParam().resourceName, GetParam().type), nullptr);
    EXPECT_EQ(GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Program, MissingResourceTest,
    testing::Values(MissingCase{"NoSuchDialog", MAKEINTRESOURCEA(102), RT_DIALOG,
                                ERROR_RESOURCE_NAME_NOT_FOUND},
                    // The class icon's name: no resource carries it.
                    MissingCase{"IconByName", "appicon", RT_GROUP_ICON,
                                ERROR_RESOURCE_NAME_NOT_FOUND},
                    MissingCase{"NoSuchType", MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATES",
                                ERROR_RESOURCE_TYPE_NOT_FOUND},
                    MissingCase{"PayloadIsNotRcData", MAKEINTRESOURCEA(IDR_PAYLOAD),
                                MAKEINTRESOURCEA(10), ERROR_RESOURCE_TYPE_NOT_FOUND},
                    MissingCase{"NotANumber", "#11x", "TEMPLATE", ERROR_RESOURCE_NAME_NOT_FOUND}),
    [](const auto& info) { return info.param.name; });

TEST_F(ResourcesTest, EveryResourceIsGermanWithANumber) {
    const auto& entries = posix::ProgramResources();
    ASSERT_EQ(entries.size(), 5u);  // two dialogs, the icon and its group, the payload
    for (const posix::ResourceEntry& entry : entries) {
        EXPECT_EQ(entry.language, kGermanGermany);
        EXPECT_TRUE(entry.name.ordinal.has_value());
    }
}

TEST_F(ResourcesTest, IconImageAndPayloadHaveTheirBytes) {
    const HRSRC icon = FindResourceA(instance_, MAKEINTRESOURCEA(1), RT_ICON);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(SizeofResource(instance_, icon), kIconImageSize);

    const HRSRC payload = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATE");
    ASSERT_NE(payload, nullptr);
    ASSERT_GE(SizeofResource(nullptr, payload), sizeof kSzddSignature);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(nullptr, payload)), kSzddSignature,
                          sizeof kSzddSignature),
              0);
}

TEST_F(ResourcesTest, ForeignHandlesAreRefused) {
    const HRSRC resource = FindResourceA(instance_, MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATE");
    const auto otherModule = reinterpret_cast<HMODULE>(0x10000000);
    EXPECT_EQ(FindResourceA(otherModule, MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATE"), nullptr);
    EXPECT_EQ(LoadResource(otherModule, resource), nullptr);
    int notAResource = 0;
    EXPECT_EQ(LoadResource(instance_, reinterpret_cast<HRSRC>(&notAResource)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(instance_, nullptr), 0u);
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
}

struct InjectedCase {
    posix::Api api;
    const char* name;
};

class InjectedResourceTest : public ResourcesTest,
                             public testing::WithParamInterface<InjectedCase> {};

// Faults aim at one resource by its key; the other resources stay reachable.
TEST_P(InjectedResourceTest, OnlyThePayloadFails) {
    posix::Inject(GetParam().api, {"#113", {}, ERROR_NOT_ENOUGH_MEMORY});
    const HRSRC dialog = FindResourceA(instance_, MAKEINTRESOURCEA(IDD_PATH_DIALOG), RT_DIALOG);
    EXPECT_NE(LoadResource(instance_, dialog), nullptr);
    EXPECT_NE(SizeofResource(instance_, dialog), 0u);

    const HRSRC payload = FindResourceA(instance_, MAKEINTRESOURCEA(IDR_PAYLOAD), "TEMPLATE");
    const bool failed = payload == nullptr || LoadResource(instance_, payload) == nullptr ||
                        SizeofResource(instance_, payload) == 0;
    EXPECT_TRUE(failed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

INSTANTIATE_TEST_SUITE_P(Calls, InjectedResourceTest,
                         testing::Values(InjectedCase{posix::Api::FindResourceA, "Find"},
                                         InjectedCase{posix::Api::LoadResource, "Load"},
                                         InjectedCase{posix::Api::SizeofResource, "Size"}),
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
    for (std::size_t length = 0; length <= std::min(file.size(), kHeaderRegion); ++length) {
        lengths.push_back(length);
    }
    for (std::size_t length = file.size() - std::min(file.size(), kTail); length <= file.size();
         ++length) {
        lengths.push_back(length);
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
