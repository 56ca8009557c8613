// The window thread's OLE message filter under the real COM runtime.
#include "ui/win32/OleMessageFilter.h"

#include <gtest/gtest.h>

namespace tarnvale {
namespace {

TEST(OleMessageFilterTest, NeverBlocksAndPutsBackThePreviousFilter) {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    {
        OleMessageFilter filter;
        ASSERT_EQ(filter.Register(), S_OK);
        EXPECT_EQ(filter.Register(), S_FALSE);

        // Incoming calls are always taken; "retry later" is retried for a bounded
        // while, a plain rejection is given up at once.
        EXPECT_EQ(filter.HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr),
                  static_cast<DWORD>(SERVERCALL_ISHANDLED));
        EXPECT_EQ(filter.RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER),
                  OleMessageFilter::kRetryDelayMs);
        EXPECT_EQ(filter.RetryRejectedCall(nullptr, OleMessageFilter::kRetryLimitMs,
                                           SERVERCALL_RETRYLATER),
                  static_cast<DWORD>(-1));
        EXPECT_EQ(filter.RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED),
                  static_cast<DWORD>(-1));
        EXPECT_EQ(filter.MessagePending(nullptr, 60000, PENDINGTYPE_TOPLEVEL),
                  static_cast<DWORD>(PENDINGMSG_WAITDEFPROCESS));

        // The thread's filter is ours until revoked.
        IMessageFilter* current = nullptr;
        ASSERT_EQ(::CoRegisterMessageFilter(nullptr, &current), S_OK);
        EXPECT_EQ(current, static_cast<IMessageFilter*>(&filter));
        IMessageFilter* none = nullptr;
        ::CoRegisterMessageFilter(current, &none);
        if (current)
            current->Release();
    }
    IMessageFilter* after = nullptr;
    ASSERT_EQ(::CoRegisterMessageFilter(nullptr, &after), S_OK);
    EXPECT_EQ(after, nullptr);
    ::OleUninitialize();
}

} // namespace
} // namespace tarnvale
