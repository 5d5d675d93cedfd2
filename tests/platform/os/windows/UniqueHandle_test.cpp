#include <windows.h>

#include "platform/os/windows/UniqueHandle.h"

#include <gtest/gtest.h>

#include <utility>

using platform::KernelHandle;

namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

}  // namespace

// Windows hands a closed handle's number to the next handle opened, so one
// closed twice may close another's: a handle is closed once, by whoever holds
// it last, and one taking the place of another closes that one.
TEST(UniqueHandleTest, ClosesEachHandleOnceWhereverItWasMoved) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE replaced = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(event != nullptr && replaced != nullptr);
    {
        KernelHandle first(event);
        KernelHandle second(std::move(first));
        KernelHandle third(replaced);
        third = std::move(second);
        EXPECT_FALSE(first.valid());
        EXPECT_FALSE(second.valid());
        EXPECT_EQ(event, third.get());
        EXPECT_FALSE(IsOpen(replaced));
        EXPECT_TRUE(IsOpen(event));
    }
    EXPECT_FALSE(IsOpen(event));
    // What the API returns for a failure, either way, holds nothing.
    EXPECT_FALSE(KernelHandle(INVALID_HANDLE_VALUE).valid());
    EXPECT_FALSE(KernelHandle(nullptr).valid());
}
