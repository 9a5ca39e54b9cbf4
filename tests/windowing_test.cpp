// The stand-in user32 where the flow tests cannot reach it: GetWindowTextA with every buffer
// size, down to the counts that must copy nothing at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/posix/window_objects.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

TEST(GetWindowTextTest, CopiesCountLessOneAndTerminates) {
    posix::ResetWindowing();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.lpszClassName = "SETCLASS";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    const HWND window = CreateWindowExA(0, "SETCLASS", "C:\\KARTOL\\", 0, 0, 0, 1, 1, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // Below 1 nothing is copied; else count - 1 characters at most, and the terminator.
    for (const int count : {-1, 0, 1, 4, 11, 14}) {
        const std::string copied =
            std::string{"C:\\KARTOL\\"}.substr(0, std::clamp(count - 1, 0, 10));
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        const std::size_t length = copied.size();
        EXPECT_EQ(GetWindowTextA(window, buffer, count), static_cast<int>(length)) << count;
        if (count > 0) {
            EXPECT_EQ(std::string(buffer, length), copied) << count;
            EXPECT_EQ(buffer[length], '\0') << count;
            EXPECT_EQ(buffer[length + 1], '#') << count << ": wrote beyond the terminator";
        } else {
            EXPECT_EQ(buffer[0], '#') << count << " must copy nothing";
        }
    }
    posix::ResetWindowing();
}

}  // namespace
