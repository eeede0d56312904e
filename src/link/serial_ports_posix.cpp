#include "link/serial_ports.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/owners.h"
#include "link/device_names.h"

namespace lumicord::camlink {

namespace {

using path_text = std::array<char, PATH_MAX>;

struct directory_closer {
    void operator()(DIR* dir) const noexcept { closedir(dir); }
};
using owned_directory = std::unique_ptr<DIR, directory_closer>;

// Cut short where it does not fit.
template <std::size_t N>
void copy_text(std::array<char, N>& to, const char* from) {
    std::size_t i = 0;
    for (; i + 1 < N && from[i] != '\0'; ++i) to[i] = from[i];
    to[i] = '\0';
}

// A path that does not fit is empty, and so names nothing.
template <typename... Parts>
path_text join(const char* format, Parts... parts) {
    path_text path{};
    const int length = std::snprintf(path.data(), path.size(), format, parts...);
    if (length < 0 || static_cast<std::size_t>(length) >= path.size()) path[0] = '\0';
    return path;
}

const char* last_part(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

bool exists(const char* path) {
    struct stat st {};
    return lstat(path, &st) == 0;
}

// The name a symbolic link points at, without the directories before it;
// false when path is no link.
template <std::size_t N>
bool link_target_name(const char* path, std::array<char, N>& name) {
    path_text target{};
    const ssize_t length = readlink(path, target.data(), target.size() - 1);
    if (length <= 0) return false;
    target[static_cast<std::size_t>(length)] = '\0';
    copy_text(name, last_part(target.data()));
    return true;
}

// A sysfs attribute: one short line of text. Empty when there is none.
template <std::size_t N>
void read_attribute(const char* path, std::array<char, N>& text) {
    text[0] = '\0';
    const owned_descriptor fd(open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd) return;
    const ssize_t length = read(fd.get(), text.data(), N - 1);
    if (length <= 0) return;
    std::size_t end = static_cast<std::size_t>(length);
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == ' ')) --end;
    text[end] = '\0';
}

// Kernel names in their natural order: the letters, then the number after them.
bool comes_before(const serial_port& a, const serial_port& b) {
    const char* name_a = a.kernel_name[0] != '\0' ? a.kernel_name.data() : a.device.data();
    const char* name_b = b.kernel_name[0] != '\0' ? b.kernel_name.data() : b.device.data();
    const std::size_t stem_a = std::strcspn(name_a, "0123456789");
    const std::size_t stem_b = std::strcspn(name_b, "0123456789");
    // Equal over the longer stem means equal stems: the shorter one is
    // followed by a digit or the end, the longer one by neither.
    const int stems = std::strncmp(name_a, name_b, std::max(stem_a, stem_b));
    if (stems != 0) return stems < 0;
    const long number_a = std::strtol(name_a + stem_a, nullptr, 10);
    const long number_b = std::strtol(name_b + stem_b, nullptr, 10);
    if (number_a != number_b) return number_a < number_b;
    return std::strcmp(name_a, name_b) < 0;
}

void sort_ports(serial_port_list& list) {
    std::sort(list.ports.begin(), list.ports.begin() + static_cast<std::ptrdiff_t>(list.count), comes_before);
}

// Which of ports 1-4 names this device, or 0.
int port_number_of(const char* device) {
    for (int port = 1; port <= 4; ++port)
        if (std::strcmp(device_path_for(port), device) == 0) return port;
    return 0;
}

// The by-id link udev made for a kernel name, as a path under the real
// root; false when there is none. The first in name order wins, so the
// answer does not depend on the directory's order.
bool by_id_link(const char* root, const char* kernel_name, path_text& found) {
    const path_text directory = join("%s/dev/serial/by-id", root);
    const owned_directory dir(opendir(directory.data()));
    if (!dir) return false;
    bool any = false;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.') continue;
        std::array<char, NAME_MAX + 1> target{};
        if (!link_target_name(join("%s/%s", directory.data(), entry->d_name).data(), target)) continue;
        if (std::strcmp(target.data(), kernel_name) != 0) continue;
        const path_text candidate = join("/dev/serial/by-id/%s", entry->d_name);
        if (!any || std::strcmp(candidate.data(), found.data()) < 0) found = candidate;
        any = true;
    }
    return any;
}

// The driver of a tty's device. Since Linux 6.5 the serial core puts
// devices of its own ("port", "ctrl") between the tty and the hardware;
// the driver worth naming is the first one above those. The 8250 driver
// calls itself "serial8250" for the built-in ports and "serial" for those
// on PCI or found by Plug and Play: all are 8250.
template <std::size_t N>
void find_driver(const char* device_dir, const char* sys_root, std::array<char, N>& driver) {
    driver[0] = '\0';
    path_text dir{};
    copy_text(dir, device_dir);
    while (std::strlen(dir.data()) > std::strlen(sys_root)) {
        path_text target{};
        const path_text link = join("%s/driver", dir.data());
        const ssize_t length = readlink(link.data(), target.data(), target.size() - 1);
        if (length > 0) {
            target[static_cast<std::size_t>(length)] = '\0';
            if (std::strstr(target.data(), "/serial-base/") == nullptr) {
                const char* name = last_part(target.data());
                const bool is_8250 = std::strcmp(name, "serial8250") == 0 || std::strcmp(name, "serial") == 0;
                copy_text(driver, is_8250 ? "8250" : name);
                return;
            }
        }
        char* slash = std::strrchr(dir.data(), '/');
        if (slash == nullptr) return;
        *slash = '\0';
    }
}

// A USB device's own words: the nearest directory above the tty's device
// that has a USB vendor number is the adapter (the interface below it has
// none, the hub above it comes later).
void read_usb_words(const char* device_dir, const char* sys_root, serial_port& port) {
    path_text dir{};
    copy_text(dir, device_dir);
    while (std::strlen(dir.data()) > std::strlen(sys_root)) {
        if (exists(join("%s/idVendor", dir.data()).data())) {
            read_attribute(join("%s/manufacturer", dir.data()).data(), port.vendor);
            read_attribute(join("%s/product", dir.data()).data(), port.product);
            read_attribute(join("%s/serial", dir.data()).data(), port.serial);
            return;
        }
        char* slash = std::strrchr(dir.data(), '/');
        if (slash == nullptr) return;
        *slash = '\0';
    }
}

// One tty of /sys/class/tty, or false for one that is no serial port: a
// virtual terminal has no device behind it, an 8250 placeholder says its
// UART type is 0 (unknown), and one without a device node cannot be used.
bool read_sysfs_port(const char* root, const char* sys_root, const char* name, serial_port& port) {
    const path_text tty_dir = join("%s/sys/class/tty/%s", root, name);
    path_text device_dir{};
    if (realpath(join("%s/device", tty_dir.data()).data(), device_dir.data()) == nullptr) return false;
    std::array<char, 16> type{};
    read_attribute(join("%s/type", tty_dir.data()).data(), type);
    if (std::strcmp(type.data(), "0") == 0) return false;
    if (!exists(join("%s/dev/%s", root, name).data())) return false;

    port = serial_port{};
    copy_text(port.kernel_name, name);
    const path_text device = join("/dev/%s", name);
    path_text by_id{};
    copy_text(port.device, by_id_link(root, name, by_id) ? by_id.data() : device.data());
    port.port_number = port_number_of(device.data());
    find_driver(device_dir.data(), sys_root, port.driver);
    read_usb_words(device_dir.data(), sys_root, port);
    return true;
}

// The call-out devices by their names: macOS's cu.*, FreeBSD's cuau
// (built-in) and cuaU (USB), OpenBSD's cua00, NetBSD's dty00. FreeBSD's
// .init and .lock devices hold a port's settings and are no ports.
bool is_callout_device(const char* name) {
    constexpr std::array<const char*, 5> PREFIXES = {"cu.", "cuaU", "cuau", "cua0", "dty"};
    const std::size_t length = std::strlen(name);
    for (const char* suffix : {".init", ".lock"}) {
        const std::size_t suffix_length = std::strlen(suffix);
        if (length > suffix_length && std::strcmp(name + length - suffix_length, suffix) == 0) return false;
    }
    return std::any_of(PREFIXES.begin(), PREFIXES.end(), [&](const char* prefix) {
        return std::strncmp(name, prefix, std::strlen(prefix)) == 0 && length > std::strlen(prefix);
    });
}

}  // namespace

serial_port_list list_sysfs_ports(const char* root) {
    serial_port_list list;
    const path_text class_dir = join("%s/sys/class/tty", root);
    path_text sys_root{};
    if (realpath(join("%s/sys", root).data(), sys_root.data()) == nullptr) return list;
    const owned_directory dir(opendir(class_dir.data()));
    if (!dir) return list;
    while (const dirent* entry = readdir(dir.get())) {
        if (entry->d_name[0] == '.' || list.count == list.ports.size()) continue;
        if (read_sysfs_port(root, sys_root.data(), entry->d_name, list.ports[list.count])) ++list.count;
    }
    sort_ports(list);
    return list;
}

serial_port_list list_callout_devices(const char* root) {
    serial_port_list list;
    const owned_directory dir(opendir(join("%s/dev", root).data()));
    if (!dir) return list;
    while (const dirent* entry = readdir(dir.get())) {
        if (!is_callout_device(entry->d_name) || list.count == list.ports.size()) continue;
        serial_port& port = list.ports[list.count++];
        port = serial_port{};
        copy_text(port.device, join("/dev/%s", entry->d_name).data());
        port.port_number = port_number_of(port.device.data());
    }
    sort_ports(list);
    return list;
}

// The device tried is this port when named by the same path, by the
// kernel's device, or through a link to it (resolved without opening it).
bool names_port(const serial_port& port, const char* tried) {
    if (std::strcmp(port.device.data(), tried) == 0) return true;
    if (port.kernel_name[0] == '\0') return false;
    std::array<char, PATH_MAX> device{};
    const int length = std::snprintf(device.data(), device.size(), "/dev/%s", port.kernel_name.data());
    if (length < 0 || static_cast<std::size_t>(length) >= device.size()) return false;
    if (std::strcmp(device.data(), tried) == 0) return true;
    std::array<char, PATH_MAX> tried_real{};
    std::array<char, PATH_MAX> device_real{};
    return realpath(tried, tried_real.data()) != nullptr && realpath(device.data(), device_real.data()) != nullptr &&
           std::strcmp(tried_real.data(), device_real.data()) == 0;
}

serial_port_list list_serial_ports(const char* root) {
#if defined(__linux__)
    return list_sysfs_ports(root);
#else
    return list_callout_devices(root);
#endif
}

}  // namespace lumicord::camlink
