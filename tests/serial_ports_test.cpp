// The serial port listing and the hint, read from small system trees laid
// out as Linux's sysfs and /dev (or a BSD's /dev) show them.
#include "link/serial_ports.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "link/port_listing.h"
#include "tests/support/scratch_dir.h"

namespace lumicord::camlink {
namespace {

namespace fs = std::filesystem;
using tree = std::vector<std::string>;

// Entries: "path -> target" a symbolic link, "path = text" a file holding
// the text and a newline, "path" an empty file (a device node stands in as
// one: nothing may open it anyway).
void lay_out(const fs::path& root, const tree& entries) {
    for (const std::string& entry : entries) {
        const std::size_t arrow = entry.find(" -> ");
        const std::size_t equals = entry.find(" = ");
        const fs::path path = root / entry.substr(0, std::min(arrow, equals));
        fs::create_directories(path.parent_path());
        if (arrow != std::string::npos) {
            fs::create_symlink(entry.substr(arrow + 4), path);
        } else {
            std::FILE* file = std::fopen(path.c_str(), "w");
            ASSERT_NE(file, nullptr) << path;
            if (equals != std::string::npos) std::fprintf(file, "%s\n", entry.substr(equals + 3).c_str());
            std::fclose(file);
        }
    }
}

tree operator+(tree a, const tree& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Virtual terminals: ttys without a device behind them.
const tree CONSOLES = {
    "sys/devices/virtual/tty/tty0/dev = 4:0",
    "sys/class/tty/tty0 -> ../../devices/virtual/tty/tty0",
    "sys/devices/virtual/tty/console/dev = 5:1",
    "sys/class/tty/console -> ../../devices/virtual/tty/console",
    "dev/tty0",
    "dev/console",
};

// An FTDI adapter below an xHCI root hub, which has words of its own.
const std::string HUB = "sys/devices/pci0000:00/0000:00:04.0/usb1";
const std::string FTDI = HUB + "/1-1";
const tree FTDI_ADAPTER = {
    HUB + "/idVendor = 1d6b",
    HUB + "/manufacturer = Linux 6.1.0-57-amd64 xhci-hcd",
    HUB + "/product = xHCI Host Controller",
    FTDI + "/idVendor = 0403",
    FTDI + "/manufacturer = FTDI",
    FTDI + "/product = FT232R USB UART",
    FTDI + "/serial = A10KZP5J",
    FTDI + "/1-1:1.0/driver -> ../../../../../../bus/usb/drivers/ftdi_sio",
    FTDI + "/1-1:1.0/ttyUSB0/driver -> ../../../../../../../bus/usb-serial/drivers/ftdi_sio",
    FTDI + "/1-1:1.0/ttyUSB0/tty/ttyUSB0/device -> ../../../ttyUSB0",
    "sys/class/tty/ttyUSB0 -> ../../devices/pci0000:00/0000:00:04.0/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0",
    "dev/ttyUSB0",
};
const tree FTDI_BY_ID = {"dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 -> ../../ttyUSB0"};

// A cheap adapter that gives only a product name, with no by-id link (no
// udev, as in a container or a small system).
const std::string CH340 = HUB + "/1-2";
const tree CH340_ADAPTER = {
    CH340 + "/idVendor = 1a86",
    CH340 + "/product = USB Serial",
    CH340 + "/1-2:1.0/ttyUSB1/driver -> ../../../../../../../bus/usb-serial/drivers/ch341-uart",
    CH340 + "/1-2:1.0/ttyUSB1/tty/ttyUSB1/device -> ../../../ttyUSB1",
    "sys/class/tty/ttyUSB1 -> ../../devices/pci0000:00/0000:00:04.0/usb1/1-2/1-2:1.0/ttyUSB1/tty/ttyUSB1",
    "dev/ttyUSB1",
};

// A board that speaks USB's own serial class (cdc_acm): the tty hangs
// straight below the interface.
const std::string ARDUINO = HUB + "/1-3";
const tree ACM_BOARD = {
    ARDUINO + "/idVendor = 2341",
    ARDUINO + "/manufacturer = Arduino (www.arduino.cc)",
    ARDUINO + "/product = Arduino Uno",
    ARDUINO + "/serial = 7563331313335160E0A1",
    ARDUINO + "/1-3:1.0/driver -> ../../../../../../bus/usb/drivers/cdc_acm",
    ARDUINO + "/1-3:1.0/tty/ttyACM0/device -> ../../../1-3:1.0",
    "sys/class/tty/ttyACM0 -> ../../devices/pci0000:00/0000:00:04.0/usb1/1-3/1-3:1.0/tty/ttyACM0",
    "dev/ttyACM0",
    "dev/serial/by-id/usb-Arduino__www.arduino.cc__Arduino_Uno_7563331313335160E0A1-if00 -> ../../ttyACM0",
};

// Built-in UARTs as Linux 6.1 shows them: ttyS1 a real one, ttyS3 one of
// the placeholders the 8250 driver registers without a UART (type 0).
const tree LEGACY_UARTS = {
    "sys/devices/platform/serial8250/driver -> ../../../bus/platform/drivers/serial8250",
    "sys/devices/platform/serial8250/tty/ttyS1/type = 4",
    "sys/devices/platform/serial8250/tty/ttyS1/device -> ../../../serial8250",
    "sys/class/tty/ttyS1 -> ../../devices/platform/serial8250/tty/ttyS1",
    "sys/devices/platform/serial8250/tty/ttyS3/type = 0",
    "sys/devices/platform/serial8250/tty/ttyS3/device -> ../../../serial8250",
    "sys/class/tty/ttyS3 -> ../../devices/platform/serial8250/tty/ttyS3",
    "dev/ttyS1",
    "dev/ttyS3",
};

// Since Linux 6.5 the serial core's own port and controller devices sit
// between the tty and the hardware; ttyS0 found by Plug and Play, ttyS10
// on a PCI card (the 8250 driver calls itself "serial" for both), ttyS2 a
// real UART without a device node (a container's /dev).
const std::string PNP = "sys/devices/pnp0/00:04";
const std::string PCI = "sys/devices/pci0000:00/0000:00:10.0";
const tree SERIAL_BASE_UARTS = {
    PNP + "/driver -> ../../../bus/pnp/drivers/serial",
    PNP + "/00:04:0/driver -> ../../../../bus/serial-base/drivers/ctrl",
    PNP + "/00:04:0/00:04:0.0/driver -> ../../../../../bus/serial-base/drivers/port",
    PNP + "/00:04:0/00:04:0.0/tty/ttyS0/type = 4",
    PNP + "/00:04:0/00:04:0.0/tty/ttyS0/device -> ../../../00:04:0.0",
    "sys/class/tty/ttyS0 -> ../../devices/pnp0/00:04/00:04:0/00:04:0.0/tty/ttyS0",
    "dev/ttyS0",
    PCI + "/driver -> ../../../bus/pci/drivers/serial",
    PCI + "/0000:00:10.0:0/0000:00:10.0:0.0/tty/ttyS10/type = 4",
    PCI + "/0000:00:10.0:0/0000:00:10.0:0.0/tty/ttyS10/device -> ../../../0000:00:10.0:0.0",
    PCI + "/0000:00:10.0:0/0000:00:10.0:0.0/driver -> ../../../../../bus/serial-base/drivers/port",
    "sys/class/tty/ttyS10 -> ../../devices/pci0000:00/0000:00:10.0/0000:00:10.0:0/0000:00:10.0:0.0/tty/ttyS10",
    "dev/ttyS10",
    PNP + "/00:04:1/00:04:1.0/tty/ttyS2/type = 4",
    PNP + "/00:04:1/00:04:1.0/tty/ttyS2/device -> ../../../00:04:1.0",
    "sys/class/tty/ttyS2 -> ../../devices/pnp0/00:04/00:04:1/00:04:1.0/tty/ttyS2",
};

// The same before Linux 6.5 and as a user who is not root before 5.7, when
// only root may read the type: ttyS0 found by Plug and Play, the
// placeholder ttyS1 on the 8250 driver's own platform device, and a
// Raspberry Pi's UART, described by its device tree.
const std::string PI_UART = "sys/devices/platform/soc/3f201000.serial";
const tree UARTS_BEFORE_5_7 = {
    PNP + "/driver -> ../../../bus/pnp/drivers/serial",
    PNP + "/tty/ttyS0/type = 4",
    PNP + "/tty/ttyS0/device -> ../../../00:04",
    "sys/class/tty/ttyS0 -> ../../devices/pnp0/00:04/tty/ttyS0",
    "dev/ttyS0",
    "sys/devices/platform/serial8250/driver -> ../../../bus/platform/drivers/serial8250",
    "sys/devices/platform/serial8250/tty/ttyS1/type = 0",
    "sys/devices/platform/serial8250/tty/ttyS1/device -> ../../../serial8250",
    "sys/class/tty/ttyS1 -> ../../devices/platform/serial8250/tty/ttyS1",
    "dev/ttyS1",
    PI_UART + "/driver -> ../../../../bus/amba/drivers/uart-pl011",
    PI_UART + "/tty/ttyAMA0/type = 32",
    PI_UART + "/tty/ttyAMA0/device -> ../../../3f201000.serial",
    "sys/class/tty/ttyAMA0 -> ../../devices/platform/soc/3f201000.serial/tty/ttyAMA0",
    "dev/ttyAMA0",
};

// Bluetooth serial ports: rfcomm0 bound but not connected (no device
// behind it), rfcomm1 connected, below the Bluetooth adapter's connection.
const std::string BT_ADAPTER = HUB + "/1-4";
const std::string BT_CONNECTION = BT_ADAPTER + "/1-4:1.0/bluetooth/hci0/hci0:256";
const tree RFCOMM = {
    "sys/devices/virtual/tty/rfcomm0/dev = 216:0",
    "sys/class/tty/rfcomm0 -> ../../devices/virtual/tty/rfcomm0",
    "dev/rfcomm0",
    BT_ADAPTER + "/idVendor = 8087",
    BT_ADAPTER + "/manufacturer = Intel Corp.",
    BT_ADAPTER + "/product = Bluetooth 9460",
    BT_ADAPTER + "/1-4:1.0/driver -> ../../../../../../bus/usb/drivers/btusb",
    BT_CONNECTION + "/tty/rfcomm1/device -> ../../../hci0:256",
    "sys/class/tty/rfcomm1 -> ../../devices/pci0000:00/0000:00:04.0/usb1/1-4/1-4:1.0/bluetooth/hci0/hci0:256/tty/rfcomm1",
    "dev/rfcomm1",
};

// More than one by-id name for a tty, made in an order that is not theirs.
const tree FTDI_BY_IDS = {
    "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 -> ../../ttyUSB0",
    "dev/serial/by-id/usb-Camera_Cable_A10KZP5J-if00-port0 -> ../../ttyUSB0",
    "dev/serial/by-id/usb-Lumicord_Cable_A10KZP5J-if00-port0 -> ../../ttyUSB0",
};

// A port whose device node this system has as well (the path tried is
// resolved on the system itself), named through a link in the tree.
const tree TTY_BEHIND_A_LINK = {
    "sys/devices/usb/tty/device -> ../tty",
    "sys/class/tty/tty -> ../../devices/usb/tty",
    "dev/tty",
    "camera -> /dev/tty",
};

// A BSD's or macOS's /dev: only names.
const tree BSD_DEV = {
    "dev/cuau1",      "dev/cuau1.init",     "dev/cuau1.lock", "dev/cuaU0", "dev/cu.usbserial-A10KZP5J",
    "dev/tty.usbserial-A10KZP5J", "dev/ttyu1", "dev/null", "dev/cua01", "dev/dty00", "dev/cu.",
};

struct listing_case {
    const char* name;
    tree system;
    serial_port_list (*lister)(const char* root);
    const char* ports;  // what --ports prints
    const char* tried;  // the device the hint says was tried (in the tree when relative)
    const char* hint;   // what the hint then prints
    bool as_user = false;  // read by a user who is not root, who may not read the UART types
};

const std::vector<listing_case> CASES = {
    {"no ports", CONSOLES, list_sysfs_ports, "No serial ports found.\n", "/dev/ttyS0",
     "lumicord: no serial ports found here.\n"},
    {"no system tree at all", {}, list_sysfs_ports, "No serial ports found.\n", "/dev/ttyS0",
     "lumicord: no serial ports found here.\n"},
    {"adapter with a by-id link", CONSOLES + FTDI_ADAPTER + FTDI_BY_ID, list_sysfs_ports,
     "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 (ttyUSB0, ftdi_sio, FTDI FT232R USB UART, serial "
     "A10KZP5J)\n",
     "/dev/ttyS0",
     "lumicord: serial ports here: -C/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 (ttyUSB0, "
     "ftdi_sio, FTDI FT232R USB UART, serial A10KZP5J)\n"},
    {"adapter tried by its kernel name", FTDI_ADAPTER + FTDI_BY_ID, list_sysfs_ports, nullptr, "/dev/ttyUSB0",
     "lumicord: serial ports here: -C/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 (ttyUSB0, "
     "ftdi_sio, FTDI FT232R USB UART, serial A10KZP5J, tried)\n"},
    {"adapter without a by-id link or a serial number", CH340_ADAPTER, list_sysfs_ports,
     "/dev/ttyUSB1 (ttyUSB1, ch341-uart, USB Serial)\n", "/dev/ttyUSB1",
     "lumicord: serial ports here: -C/dev/ttyUSB1 (ttyUSB1, ch341-uart, USB Serial, tried)\n"},
    {"cdc_acm board", ACM_BOARD, list_sysfs_ports,
     "/dev/serial/by-id/usb-Arduino__www.arduino.cc__Arduino_Uno_7563331313335160E0A1-if00 (ttyACM0, cdc_acm, "
     "Arduino (www.arduino.cc) Arduino Uno, serial 7563331313335160E0A1)\n",
     nullptr, nullptr},
    {"built-in UART and a placeholder", CONSOLES + LEGACY_UARTS, list_sysfs_ports, "/dev/ttyS1 (ttyS1, 8250, -C2)\n",
     "/dev/ttyS1", "lumicord: serial ports here: -C/dev/ttyS1 (ttyS1, 8250, -C2, tried)\n"},
    {"serial core ports, in number order", SERIAL_BASE_UARTS + LEGACY_UARTS, list_sysfs_ports,
     "/dev/ttyS0 (ttyS0, 8250, -C1)\n/dev/ttyS1 (ttyS1, 8250, -C2)\n/dev/ttyS10 (ttyS10, 8250)\n", nullptr, nullptr},
    {"everything", CONSOLES + LEGACY_UARTS + ACM_BOARD + CH340_ADAPTER + FTDI_ADAPTER + FTDI_BY_ID, list_sysfs_ports,
     nullptr, "/dev/ttyUSB7",
     "lumicord: serial ports here: -C/dev/serial/by-id/usb-Arduino__www.arduino.cc__Arduino_Uno_7563331313335160E0A1-"
     "if00 (ttyACM0, cdc_acm, Arduino (www.arduino.cc) Arduino Uno, serial 7563331313335160E0A1)\n"
     "lumicord:                    -C/dev/ttyS1 (ttyS1, 8250, -C2)\n"
     "lumicord:                    -C/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP5J-if00-port0 (ttyUSB0, "
     "ftdi_sio, FTDI FT232R USB UART, serial A10KZP5J)\n"
     "lumicord:                    -C/dev/ttyUSB1 (ttyUSB1, ch341-uart, USB Serial)\n"},
    {"before Linux 5.7, read by a user", UARTS_BEFORE_5_7, list_sysfs_ports,
     "/dev/ttyAMA0 (ttyAMA0, uart-pl011)\n/dev/ttyS0 (ttyS0, 8250, -C1)\n", nullptr, nullptr, true},
    {"Bluetooth serial ports", CONSOLES + RFCOMM, list_sysfs_ports,
     "/dev/rfcomm0 (rfcomm0, Bluetooth serial)\n/dev/rfcomm1 (rfcomm1, Bluetooth serial)\n", nullptr, nullptr},
    {"the first of two by-id names", FTDI_ADAPTER + FTDI_BY_IDS, list_sysfs_ports,
     "/dev/serial/by-id/usb-Camera_Cable_A10KZP5J-if00-port0 (ttyUSB0, ftdi_sio, FTDI FT232R USB UART, serial "
     "A10KZP5J)\n",
     nullptr, nullptr},
    {"tried through a link to its device", TTY_BEHIND_A_LINK, list_sysfs_ports, nullptr, "camera",
     "lumicord: serial ports here: -C/dev/tty (tty, tried)\n"},
    {"call-out devices by name", BSD_DEV, list_callout_devices,
     "/dev/cu.usbserial-A10KZP5J\n/dev/cua01\n/dev/cuaU0\n/dev/cuau1\n/dev/dty00\n", "/dev/cuaU0",
     "lumicord: serial ports here: -C/dev/cu.usbserial-A10KZP5J\n"
     "lumicord:                    -C/dev/cua01\n"
     "lumicord:                    -C/dev/cuaU0 (tried)\n"
     "lumicord:                    -C/dev/cuau1\n"
     "lumicord:                    -C/dev/dty00\n"},
};

std::string captured(void (*print)(std::FILE*, const serial_port_list&, const char*), const serial_port_list& ports,
                     const char* tried) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    print(stream, ports, tried);
    std::fclose(stream);
    std::string result(text, size);
    std::free(text);
    return result;
}

void listing(std::FILE* to, const serial_port_list& ports, const char*) { show_serial_ports(to, ports); }
void hint(std::FILE* to, const serial_port_list& ports, const char* tried) { hint_serial_ports(to, ports, tried); }

// The ports as the user nobody sees them (root reads every file), with
// every UART type readable by root alone (by nobody else, at mode 0).
serial_port_list listed_as_user(const fs::path& root, serial_port_list (*lister)(const char* root)) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        if (entry.path().filename() == "type" && !entry.is_symlink()) fs::permissions(entry.path(), fs::perms::none);
    fs::permissions(root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    serial_port_list ports;
    int channel[2];
    if (pipe(channel) != 0) return ports;
    const pid_t child = fork();
    if (child == 0) {
        constexpr uid_t NOBODY = 65534;
        if (geteuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) _exit(1);
        const serial_port_list seen = lister(root.c_str());
        _exit(write(channel[1], &seen, sizeof seen) == static_cast<ssize_t>(sizeof seen) ? 0 : 1);
    }
    close(channel[1]);
    std::size_t got = 0;
    for (ssize_t n = 0; got < sizeof ports; got += static_cast<std::size_t>(n)) {
        n = read(channel[0], reinterpret_cast<char*>(&ports) + got, sizeof ports - got);
        if (n <= 0) break;
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == sizeof ports);
    return ports;
}

TEST(serial_ports_test, lists_what_the_system_tree_shows) {
    for (const listing_case& c : CASES) {
        SCOPED_TRACE(c.name);
        const testing::scratch_dir root;
        lay_out(root.path(), c.system);
        const serial_port_list ports =
            c.as_user ? listed_as_user(root.path(), c.lister) : c.lister(root.path().c_str());
        if (c.ports != nullptr) {
            EXPECT_EQ(captured(listing, ports, nullptr), c.ports);
        }
        if (c.hint != nullptr) {
            const std::string tried = c.tried[0] == '/' ? c.tried : (root.path() / c.tried).string();
            EXPECT_EQ(captured(hint, ports, tried.c_str()), c.hint);
        }
    }
}

TEST(serial_ports_test, stops_at_the_most_it_holds) {
    const testing::scratch_dir root;
    tree many;
    for (std::size_t i = 0; i < MAX_SERIAL_PORTS + 3; ++i) {
        const std::string name = "ttyACM" + std::to_string(i);
        many.push_back("sys/devices/usb/" + name + "/device -> ../" + name);
        many.push_back("sys/class/tty/" + name + " -> ../../devices/usb/" + name);
        many.push_back("dev/" + name);
    }
    lay_out(root.path(), many);
    EXPECT_EQ(list_sysfs_ports(root.path().c_str()).count, MAX_SERIAL_PORTS);
}

}  // namespace
}  // namespace lumicord::camlink
