// Serial device settings compared field by field, for the tests that check
// that the program leaves the line as it found it.
#pragma once

#include <gtest/gtest.h>
#include <termios.h>

namespace lumicord::testing {

// Success when modes, control characters and both speeds are equal;
// otherwise the message names each field that differs.
::testing::AssertionResult same_settings(const termios& expected, const termios& actual);

}  // namespace lumicord::testing
