#include "link/registry_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "link/com_port_names.h"

namespace lumicord::camlink {

namespace {

constexpr int NUMBERED_PORTS = 4;

// Cut short where it does not fit.
template <std::size_t N>
void copy_text(std::array<char, N>& to, const char* from, std::size_t length) {
    const std::size_t n = std::min(length, N - 1);
    std::memcpy(to.data(), from, n);
    to[n] = '\0';
}

template <std::size_t N>
void copy_text(std::array<char, N>& to, const char* from) {
    copy_text(to, from, std::strlen(from));
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// The four hex digits after key ("VID_") in id, or nullptr.
const char* four_hex_after(const char* id, const char* key) {
    const char* at = std::strstr(id, key);
    if (at == nullptr) return nullptr;
    at += std::strlen(key);
    for (int i = 0; i < 4; ++i)
        if (!is_hex(at[i])) return nullptr;
    return at;
}

// The instance's own part of a USB device's ID, after the second backslash; the
// FTDI bus driver puts it after the second "+" of the middle part instead.
void copy_serial(serial_port& port, const char* instance_id) {
    // Other buses number their instances: no serial number.
    if (std::strncmp(instance_id, "USB\\", 4) != 0 && std::strncmp(instance_id, "FTDIBUS\\", 8) != 0) return;
    const char* first = std::strchr(instance_id, '\\');
    if (first == nullptr) return;
    const char* second = std::strchr(first + 1, '\\');
    const char* serial = nullptr;
    std::size_t length = 0;
    const char* plus = std::strchr(first + 1, '+');
    if (plus != nullptr && (second == nullptr || plus < second)) plus = std::strchr(plus + 1, '+');
    if (plus != nullptr && (second == nullptr || plus < second)) {
        serial = plus + 1;
        length = (second != nullptr ? static_cast<std::size_t>(second - serial) : std::strlen(serial));
    } else if (second != nullptr) {
        serial = second + 1;
        length = std::strlen(serial);
    }
    if (serial == nullptr || length == 0) return;
    // Made up by Windows, not the device's.
    if (std::memchr(serial, '&', length) != nullptr) return;
    copy_text(port.serial, serial, length);
}

}  // namespace

serial_port port_from_map_entry(const char* value_name, const char* port_name) {
    serial_port port;
    copy_text(port.device, port_name);
    const char* slash = std::strrchr(value_name, '\\');
    copy_text(port.kernel_name, slash != nullptr ? slash + 1 : value_name);
    const int number = com_port_number(port_name);
    port.port_number = number >= 1 && number <= NUMBERED_PORTS ? number : 0;
    return port;
}

void add_device_words(serial_port& port, const char* instance_id, const char* friendly_name, const char* service) {
    copy_text(port.product, friendly_name);
    copy_text(port.driver, service);
    const char* vid = four_hex_after(instance_id, "VID_");
    const char* pid = four_hex_after(instance_id, "PID_");
    if (vid != nullptr && pid != nullptr)
        std::snprintf(port.usb_ids.data(), port.usb_ids.size(), "VID_%.4s PID_%.4s", vid, pid);
    copy_serial(port, instance_id);
}

void sort_by_port_number(serial_port_list& list) {
    const auto key = [](const serial_port& p) { return com_port_number(p.device.data()); };
    std::stable_sort(list.ports.begin(), list.ports.begin() + static_cast<std::ptrdiff_t>(list.count),
                     [&](const serial_port& a, const serial_port& b) { return key(a) < key(b); });
}

}  // namespace lumicord::camlink
