// The hint naming this computer's serial ports, as the program prints it
// when the camera or the device is not found. Which ports there are differs
// from machine to machine: the text comes from the same listing the
// program uses (its format is held by serial_ports_test on fixed trees).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/port_listing.h"

namespace lumicord::testing {

inline std::string ports_hint(const std::string& tried) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    camlink::hint_serial_ports(stream, camlink::list_serial_ports(), tried.c_str());
    std::fclose(stream);
    std::string result(text, size);
    std::free(text);
    return result;
}

}  // namespace lumicord::testing
