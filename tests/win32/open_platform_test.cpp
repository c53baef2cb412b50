// The Win32 side of the decision for real: Explorer is never handed a path with a quote.
#include <windows.h>

#include <gtest/gtest.h>

#include "opener/open_platform_win.h"

namespace {

TEST(Win32OpenPlatform, ExplorerIsNeverHandedAPathWithAQuote) {
    CWin32OpenPlatform platform;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(platform.ShowInFolder(L"C:\\Temp\\a\" /root,\"C:\\Windows"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
}

}  // namespace
