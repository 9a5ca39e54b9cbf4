// The stand-in user32 where the flow tests cannot reach it: GetWindowTextA with every buffer
// size, down to the counts that must copy nothing at all.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/posix/window_objects.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

struct TextCopyCase {
    int count;
    std::string copied;
    int result;
};

class GetWindowTextTest : public testing::TestWithParam<TextCopyCase> {
  protected:
    void SetUp() override { posix::ResetWindowing(); }
    void TearDown() override { posix::ResetWindowing(); }
};

TEST_P(GetWindowTextTest, CopiesCountLessOneAndTerminates) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.lpszClassName = "SETCLASS";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HWND window = CreateWindowExA(0, "SETCLASS", "C:\\KARTOL\\", 0, 0, 0, 1, 1, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(window, buffer, GetParam().count), GetParam().result);
    const std::size_t length = GetParam().copied.size();
    if (GetParam().count > 0) {
        EXPECT_EQ(std::string(buffer, length), GetParam().copied);
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(buffer[length + 1], '#') << "wrote beyond the terminator";
    } else {
        EXPECT_EQ(buffer[0], '#') << "count <= 0 must copy nothing";
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, GetWindowTextTest,
                         testing::Values(TextCopyCase{-1, "", 0}, TextCopyCase{0, "", 0},
                                         TextCopyCase{1, "", 0}, TextCopyCase{4, "C:\\", 3},
                                         TextCopyCase{11, "C:\\KARTOL\\", 10},
                                         TextCopyCase{14, "C:\\KARTOL\\", 10}),
                         [](const auto& info) {
                             const int count = info.param.count;
                             return (count < 0 ? "Minus" : "Count") +
                                    std::to_string(count < 0 ? -count : count);
                         });

}  // namespace
