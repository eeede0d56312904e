#include "tests/support/line_settings.h"

#include <sstream>

namespace lumicord::testing {

namespace {

template <typename T>
void compare(std::ostringstream& differences, const char* field, T expected, T actual) {
    if (expected != actual)
        differences << ' ' << field << " is " << std::hex << "0x" << static_cast<unsigned long>(actual) << ", not 0x"
                    << static_cast<unsigned long>(expected) << std::dec << ';';
}

}  // namespace

::testing::AssertionResult same_settings(const termios& expected, const termios& actual) {
    std::ostringstream differences;
    compare(differences, "c_iflag", expected.c_iflag, actual.c_iflag);
    compare(differences, "c_oflag", expected.c_oflag, actual.c_oflag);
    compare(differences, "c_cflag", expected.c_cflag, actual.c_cflag);
    compare(differences, "c_lflag", expected.c_lflag, actual.c_lflag);
    for (int i = 0; i < NCCS; ++i) {
        const std::string name = "c_cc[" + std::to_string(i) + "]";
        compare(differences, name.c_str(), expected.c_cc[i], actual.c_cc[i]);
    }
    compare(differences, "input speed", cfgetispeed(&expected), cfgetispeed(&actual));
    compare(differences, "output speed", cfgetospeed(&expected), cfgetospeed(&actual));
    if (differences.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "device settings differ:" << differences.str();
}

}  // namespace lumicord::testing
