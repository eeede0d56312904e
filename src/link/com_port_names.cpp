#include "link/com_port_names.h"

#include <cstdio>
#include <cstring>

namespace lumicord::camlink {

namespace {

constexpr const char* DEVICE_PREFIX = "\\\\.\\";
constexpr std::size_t DEVICE_PREFIX_LENGTH = 4;

bool starts_with_device_prefix(const char* text) {
    return std::strncmp(text, DEVICE_PREFIX, DEVICE_PREFIX_LENGTH) == 0;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "COMn" exactly, as Windows spells its ports (no sign, no leading zero).
int bare_com_number(const char* text) {
    if (upper(text[0]) != 'C' || upper(text[1]) != 'O' || upper(text[2]) != 'M') return 0;
    const char* digits = text + 3;
    if (*digits < '1' || *digits > '9') return 0;
    int number = 0;
    for (const char* d = digits; *d != '\0'; ++d) {
        if (*d < '0' || *d > '9') return 0;
        number = number * 10 + (*d - '0');
        if (number > MAX_COM_PORT) return 0;
    }
    return number;
}

}  // namespace

int com_port_number(const char* text) {
    if (starts_with_device_prefix(text)) text += DEVICE_PREFIX_LENGTH;
    return bare_com_number(text);
}

bool names_windows_device(const char* text) { return starts_with_device_prefix(text) || bare_com_number(text) != 0; }

bool same_windows_port(const char* listed, const char* tried) {
    const int number = com_port_number(tried);
    if (number != 0) return number == com_port_number(listed);
    if (starts_with_device_prefix(tried)) tried += DEVICE_PREFIX_LENGTH;
    for (; *listed != '\0' && upper(*listed) == upper(*tried); ++listed, ++tried) {
    }
    return *listed == '\0' && *tried == '\0';
}

windows_device_path windows_path_for(const char* named) {
    windows_device_path path{};
    const char* prefix = starts_with_device_prefix(named) ? "" : DEVICE_PREFIX;
    const int length = std::snprintf(path.data(), path.size(), "%s%s", prefix, named);
    if (length < 0 || static_cast<std::size_t>(length) >= path.size()) path[0] = '\0';
    return path;
}

}  // namespace lumicord::camlink
