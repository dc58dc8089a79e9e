// The real program, started as a child process.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

TEST(StartupEndToEnd, OpensItsWindowAndExitsWithZeroWhenClosed) {
    DeleteSettingsKey();
    ChildProgram program;
    ASSERT_TRUE(program.start());
    EXPECT_EQ(WindowText(program.mainWindow), PRODUCT_TITLE);
    PostMessageA(program.mainWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.waitForExit(), 0u);
}
