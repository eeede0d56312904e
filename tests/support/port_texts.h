// This computer's serial ports as --ports lists them, and the hint naming
// them when the camera or the device is not found. Which ports there are
// differs from machine to machine: the texts come from the same listing the
// program uses (their format is held by serial_ports_test on fixed trees).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/port_listing.h"

namespace lumicord::testing {

// What print writes to a stream.
template <typename Print>
std::string printed(Print print) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    print(stream);
    std::fclose(stream);
    std::string result(text, size);
    std::free(text);
    return result;
}

inline std::string ports_listing() {
    return printed([](std::FILE* to) { camlink::show_serial_ports(to, camlink::list_serial_ports()); });
}

inline std::string ports_hint(const std::string& tried) {
    return printed([&](std::FILE* to) { camlink::hint_serial_ports(to, camlink::list_serial_ports(), tried.c_str()); });
}

}  // namespace lumicord::testing
