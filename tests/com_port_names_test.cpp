// The -C rules for Windows' port names, decided on text alone.
#include "link/com_port_names.h"

#include <gtest/gtest.h>

#include <string>

namespace lumicord::camlink {
namespace {

struct name_case {
    const char* text;
    int number;         // com_port_number
    bool names_device;  // names_windows_device
};

constexpr name_case NAME_CASES[] = {
    {"COM1", 1, true},
    {"com7", 7, true},
    {"CoM12", 12, true},
    {"COM256", 256, true},
    {"\\\\.\\COM12", 12, true},
    {"\\\\.\\com3", 3, true},
    {"\\\\.\\CNCA0", 0, true},  // another driver's device path
    {"COM257", 0, false},
    {"COM0", 0, false},
    {"COM007", 0, false},
    {"COM", 0, false},
    {"COM1x", 0, false},
    {"COM-1", 0, false},
    {"COMX", 0, false},
    {"XCOM1", 0, false},
    {"3", 0, false},
    {"", 0, false},
    {"/dev/ttyS0", 0, false},
    {"\\\\?\\COM1", 0, false},
};

TEST(com_port_names_test, port_numbers_and_device_names) {
    for (const name_case& c : NAME_CASES) {
        EXPECT_EQ(com_port_number(c.text), c.number) << c.text;
        EXPECT_EQ(names_windows_device(c.text), c.names_device) << c.text;
    }
}

TEST(com_port_names_test, a_port_name_opens_as_a_device_path) {
    EXPECT_STREQ(windows_path_for("COM7").data(), "\\\\.\\COM7");
    EXPECT_STREQ(windows_path_for("com12").data(), "\\\\.\\com12");
    EXPECT_STREQ(windows_path_for("\\\\.\\COM12").data(), "\\\\.\\COM12");
    // Too long to be opened: nothing, rather than a name cut short.
    EXPECT_STREQ(windows_path_for(std::string(200, 'C').c_str()).data(), "");
}

TEST(com_port_names_test, the_port_tried_however_it_was_written) {
    struct tried_case {
        const char* listed;
        const char* tried;
        bool same;
    };
    constexpr tried_case TRIED_CASES[] = {
        {"COM3", "COM3", true},
        {"COM3", "com3", true},
        {"COM12", "\\\\.\\com12", true},
        {"COM3", "COM30", false},
        {"COM30", "COM3", false},
        {"COM3", "COM", false},
        {"CNCA0", "cnca0", true},  // a port with a name of its own
        {"CNCA0", "\\\\.\\CNCA0", true},
        {"CNCA0", "CNCA", false},
    };
    for (const tried_case& c : TRIED_CASES)
        EXPECT_EQ(same_windows_port(c.listed, c.tried), c.same) << c.listed << " " << c.tried;
}

}  // namespace
}  // namespace lumicord::camlink
