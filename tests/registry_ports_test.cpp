// The --ports records from registry-shaped data, as Windows' serial-port
// map and its adapters' keys give them, and their lines.
#include "link/registry_ports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "link/port_listing.h"

namespace lumicord::camlink {
namespace {

// Through a file in the system's temporary directory, which every system
// has (tmpfile would write to the drive's root on Windows).
std::string listing(const serial_port_list& list) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "lumicord_registry_ports_test.txt";
    std::FILE* out = std::fopen(path.string().c_str(), "w+b");
    if (out == nullptr) return "(no file at " + path.string() + ")";
    show_serial_ports(out, list);
    std::rewind(out);
    std::string result;
    for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) result += static_cast<char>(c);
    std::fclose(out);
    std::filesystem::remove(path);
    return result;
}

struct device_case {
    const char* instance_id;
    const char* service;
    const char* usb_ids;
    const char* serial;
};

constexpr device_case DEVICE_CASES[] = {
    {"USB\\VID_0403&PID_6001\\A10KZP5J", "FTDIBUS", "VID_0403 PID_6001", "A10KZP5J"},
    // Windows makes up an instance for a device without a serial number.
    {"USB\\VID_067B&PID_2303\\5&1A2B3C4D&0&2", "Ser2pl", "VID_067B PID_2303", ""},
    {"FTDIBUS\\VID_0403+PID_6015+DN05ABCDA\\0000", "FTSER2K", "VID_0403 PID_6015", "DN05ABCDA"},
    {"USB\\VID_1A86&PID_7523\\6&2F3A&0&3", "CH341SER_A64", "VID_1A86 PID_7523", ""},
    {"ACPI\\PNP0501\\0", "Serial", "", ""},
    {"USB\\VID_04XY&PID_6001\\X", "usbser", "", "X"},  // no four hex digits: no IDs
};

TEST(registry_ports_test, device_words_from_instance_ids) {
    for (const device_case& c : DEVICE_CASES) {
        serial_port port = port_from_map_entry("\\Device\\VCP0", "COM5");
        add_device_words(port, c.instance_id, "USB Serial Port (COM5)", c.service);
        EXPECT_STREQ(port.usb_ids.data(), c.usb_ids) << c.instance_id;
        EXPECT_STREQ(port.serial.data(), c.serial) << c.instance_id;
        EXPECT_STREQ(port.driver.data(), c.service) << c.instance_id;
        EXPECT_STREQ(port.product.data(), "USB Serial Port (COM5)") << c.instance_id;
    }
}

TEST(registry_ports_test, the_map_in_port_order_and_in_words) {
    serial_port_list list;
    list.ports[list.count++] = port_from_map_entry("\\Device\\VCP0", "COM10");
    list.ports[list.count++] = port_from_map_entry("\\Device\\Serial1", "COM2");
    list.ports[list.count++] = port_from_map_entry("\\Device\\VCP1", "COM3");
    list.ports[list.count++] = port_from_map_entry("\\Device\\Serial0", "COM1");
    add_device_words(list.ports[0], "USB\\VID_067B&PID_2303\\5&1A2B&0&2", "Prolific USB-to-Serial Comm Port (COM10)",
                     "Ser2pl64");
    add_device_words(list.ports[2], "USB\\VID_0403&PID_6001\\A10KZP5J", "USB Serial Port (COM3)", "FTDIBUS");
    sort_by_port_number(list);
    EXPECT_EQ(listing(list),
              "COM1 (Serial0, -C1)\n"
              "COM2 (Serial1, -C2)\n"
              "COM3 (VCP1, FTDIBUS, USB Serial Port (COM3), VID_0403 PID_6001, serial A10KZP5J, -C3)\n"
              "COM10 (VCP0, Ser2pl64, Prolific USB-to-Serial Comm Port (COM10), VID_067B PID_2303)\n");
}

}  // namespace
}  // namespace lumicord::camlink
