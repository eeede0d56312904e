#include "link/port_listing.h"

#include <cstring>

namespace lumicord::camlink {

namespace {

constexpr const char* HINT_START = "lumicord: serial ports here: ";

// " (ttyUSB0, ftdi_sio, FTDI FT232R USB UART, serial A1B2C3)", leaving out
// what the system does not say; nothing at all when it says nothing.
void describe(std::FILE* to, const serial_port& port, bool tried) {
    const char* separator = " (";
    auto field = [&](const char* text) {
        if (text[0] == '\0') return;
        std::fprintf(to, "%s%s", separator, text);
        separator = ", ";
    };
    field(port.kernel_name.data());
    field(port.driver.data());
    if (port.vendor[0] != '\0' && port.product[0] != '\0') {
        std::fprintf(to, "%s%s %s", separator, port.vendor.data(), port.product.data());
        separator = ", ";
    } else {
        field(port.vendor.data());
        field(port.product.data());
    }
    field(port.usb_ids.data());
    if (port.serial[0] != '\0') {
        std::fprintf(to, "%sserial %s", separator, port.serial.data());
        separator = ", ";
    }
    if (port.port_number != 0) {
        std::fprintf(to, "%s-C%d", separator, port.port_number);
        separator = ", ";
    }
    if (tried) field("tried");
    if (separator[0] == ',') std::fputc(')', to);
}

}  // namespace

void show_serial_ports(std::FILE* to, const serial_port_list& ports) {
    if (ports.count == 0) std::fputs("No serial ports found.\n", to);
    for (std::size_t i = 0; i < ports.count; ++i) {
        std::fputs(ports.ports[i].device.data(), to);
        describe(to, ports.ports[i], false);
        std::fputc('\n', to);
    }
}

void hint_serial_ports(std::FILE* to, const serial_port_list& ports, const char* tried) {
    if (ports.count == 0) std::fputs("lumicord: no serial ports found here.\n", to);
    // Further ports line up under the first.
    const int indent = static_cast<int>(std::strlen(HINT_START) - std::strlen("lumicord:"));
    for (std::size_t i = 0; i < ports.count; ++i) {
        if (i == 0)
            std::fputs(HINT_START, to);
        else
            std::fprintf(to, "lumicord:%*s", indent, "");
        std::fprintf(to, "-C%s", ports.ports[i].device.data());
        describe(to, ports.ports[i], tried != nullptr && names_port(ports.ports[i], tried));
        std::fputc('\n', to);
    }
}

void hint_serial_ports(const char* tried) {
    const serial_port_list ports = list_serial_ports();
    hint_serial_ports(stderr, ports, tried);
}

}  // namespace lumicord::camlink
