#include <windows.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "link/com_port_names.h"
#include "link/registry_ports.h"
#include "link/serial_ports.h"

namespace lumicord::camlink {

namespace {

using key_text = std::array<char, 256>;

// An open registry key, closed when its owner goes.
struct owned_key {
    HKEY key = nullptr;
    owned_key(HKEY parent, const char* path) {
        if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) key = nullptr;
    }
    owned_key(const owned_key&) = delete;
    owned_key& operator=(const owned_key&) = delete;
    ~owned_key() {
        if (key != nullptr) RegCloseKey(key);
    }
    explicit operator bool() const { return key != nullptr; }
};

// A text value of key; empty when it has none.
key_text read_text(HKEY key, const char* value) {
    key_text text{};
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(text.size() - 1);
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        text[0] = '\0';
    return text;
}

// The subkey names of key, one at a time.
bool subkey(HKEY key, DWORD index, key_text& name) {
    DWORD length = static_cast<DWORD>(name.size());
    return RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

serial_port* port_named(serial_port_list& list, const char* port_name) {
    for (std::size_t i = 0; i < list.count; ++i)
        if (_stricmp(list.ports[i].device.data(), port_name) == 0) return &list.ports[i];
    return nullptr;
}

// The ports of the serial-port map: every port present now, and only those.
void read_serial_map(serial_port_list& list) {
    const owned_key map(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
    if (!map) return;
    for (DWORD index = 0; list.count < list.ports.size(); ++index) {
        key_text name{};
        key_text data{};
        DWORD name_length = static_cast<DWORD>(name.size());
        DWORD data_size = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        const LONG status = RegEnumValueA(map.key, index, name.data(), &name_length, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &data_size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ || data[0] == '\0') continue;
        list.ports[list.count++] = port_from_map_entry(name.data(), data.data());
    }
}

// A USB adapter's words, from its key below Enum\<bus>\<device>\<instance>:
// the port it serves is its "Device Parameters" key's PortName.
void read_bus_devices(serial_port_list& list, const char* bus) {
    key_text bus_path{};
    std::snprintf(bus_path.data(), bus_path.size(), "SYSTEM\\CurrentControlSet\\Enum\\%s", bus);
    const owned_key bus_key(HKEY_LOCAL_MACHINE, bus_path.data());
    if (!bus_key) return;
    key_text device{};
    for (DWORD d = 0; subkey(bus_key.key, d, device); ++d) {
        const owned_key device_key(bus_key.key, device.data());
        if (!device_key) continue;
        key_text instance{};
        for (DWORD i = 0; subkey(device_key.key, i, instance); ++i) {
            const owned_key instance_key(device_key.key, instance.data());
            if (!instance_key) continue;
            const owned_key parameters(instance_key.key, "Device Parameters");
            if (!parameters) continue;
            serial_port* port = port_named(list, read_text(parameters.key, "PortName").data());
            if (port == nullptr) continue;
            std::array<char, 3 * 256 + 3> id{};
            std::snprintf(id.data(), id.size(), "%s\\%s\\%s", bus, device.data(), instance.data());
            add_device_words(*port, id.data(), read_text(instance_key.key, "FriendlyName").data(),
                             read_text(instance_key.key, "Service").data());
        }
    }
}

}  // namespace

bool names_port(const serial_port& port, const char* tried) { return same_windows_port(port.device.data(), tried); }

// The registry, not SetupAPI: the serial-port map lists exactly the ports
// present, without opening one and without another library, and the
// adapters' own keys give the rest.
serial_port_list list_serial_ports(const char*) {
    serial_port_list list;
    read_serial_map(list);
    for (const char* bus : {"USB", "FTDIBUS"}) read_bus_devices(list, bus);
    sort_by_port_number(list);
    return list;
}

}  // namespace lumicord::camlink
