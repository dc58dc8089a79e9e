// A test that starts from a reset AppState and no stored settings, and leaves no
// settings and no patched imports behind.
#pragma once

#include <gtest/gtest.h>

#include "IatPatch.h"
#include "TestSupport.h"

class FreshStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAppState();
        DeleteSettingsKey();
    }
    void TearDown() override {
        patches.clear();
        DeleteSettingsKey();
    }

    IatPatches patches;
};
