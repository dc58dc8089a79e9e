// The version as the build names it (CMake's project version): every place of the
// program that shows a version must show this one.
#pragma once

#ifndef DORMIVEX_TEST_VERSION
#error "tests/CMakeLists.txt defines DORMIVEX_TEST_VERSION from the project version"
#endif

#define TEST_PRODUCT_TITLE "Dormivex x64 " DORMIVEX_TEST_VERSION
