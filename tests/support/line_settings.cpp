#include "tests/support/line_settings.h"

#include <cstdlib>
#include <sstream>

namespace lumicord::testing {

namespace {

template <typename T>
void compare(std::ostringstream& differences, const char* field, T expected, T actual) {
    if (expected != actual)
        differences << ' ' << field << " is " << std::hex << "0x" << static_cast<unsigned long>(actual) << ", not 0x"
                    << static_cast<unsigned long>(expected) << std::dec << ';';
}

// The Windows build, run under wine by tools/windows-test, sees a port's
// state as Windows holds it (speed, data bits, parity, stop bits, flow
// control), which wine maps onto the terminal's settings, changing on the
// way flags that no Windows program can see or put back (echo, canonical
// input, VMIN, CLOCAL). Only what Windows holds is compared for it.
bool windows_build_under_test() {
    const char* exe = std::getenv("LUMICORD_WINE_EXE");
    return exe != nullptr && *exe != '\0';
}

}  // namespace

::testing::AssertionResult same_settings(const termios& expected, const termios& actual) {
    std::ostringstream differences;
    if (windows_build_under_test()) {
        constexpr tcflag_t WINDOWS_CFLAG = CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS;
        constexpr tcflag_t WINDOWS_IFLAG = IXON | IXOFF;
        compare(differences, "c_iflag", expected.c_iflag & WINDOWS_IFLAG, actual.c_iflag & WINDOWS_IFLAG);
        compare(differences, "c_cflag", expected.c_cflag & WINDOWS_CFLAG, actual.c_cflag & WINDOWS_CFLAG);
    } else {
        compare(differences, "c_iflag", expected.c_iflag, actual.c_iflag);
        compare(differences, "c_oflag", expected.c_oflag, actual.c_oflag);
        compare(differences, "c_cflag", expected.c_cflag, actual.c_cflag);
        compare(differences, "c_lflag", expected.c_lflag, actual.c_lflag);
        for (int i = 0; i < NCCS; ++i) {
            const std::string name = "c_cc[" + std::to_string(i) + "]";
            compare(differences, name.c_str(), expected.c_cc[i], actual.c_cc[i]);
        }
    }
    compare(differences, "input speed", cfgetispeed(&expected), cfgetispeed(&actual));
    compare(differences, "output speed", cfgetospeed(&expected), cfgetospeed(&actual));
    if (differences.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "device settings differ:" << differences.str();
}

}  // namespace lumicord::testing
