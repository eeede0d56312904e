// What the program prints on the console, written out independently of the
// code that prints it, so that a test can compare whole outputs.
#pragma once

#include <string>

#include "front/console.h"

namespace lumicord::testing {

inline std::string banner_text(long baud) {
    return "\nLumicord at " + std::to_string(baud) + " baud \n\n" + front::VERSION_TEXT + " \n\n" +
           "Lumicord [-Bxxxxx] [-Cx] [-Vx]\n"
           "            |         |    |---- take x photos in video mode \n"
           "            |         |----COM-Port x (<1>, 2, 3, 4)         \n"
           "            |----Baud xxxxx (<9600>,19200,38400,57600,115200)\n";
}

// What --version prints: the program's name and the version the build was
// given, the one the banner shows too.
inline std::string version_line() { return std::string("lumicord ") + LUMICORD_VERSION_NUMBER + "\n"; }

inline std::string menu_text() {
    return "\n"
           "COMMANDS: \n"
           "  D  - Download Pictures \n"
           "  E  - Erase Camera Memory\n"
           "  P  - Take Picture \n"
           "  Q  - Quit \n"
           "  R  - Toggle Resolution \n"
           "  S  - Show DC20 Status \n"
           "  T  - Load Thumbnails \n"
           "  X  - Download Pictures and Exit \n";
}

// Counts are printed at least two wide.
inline std::string padded(int n) {
    const std::string digits = std::to_string(n);
    return digits.size() < 2 ? " " + digits : digits;
}

inline std::string status_text(bool low_resolution, bool battery_good, int taken, int free) {
    // Appended piece by piece: g++ 12 warns (-Warray-bounds) about chains
    // of + on temporaries that it has inlined, and warnings are errors here.
    std::string text = low_resolution ? "\nResolution:  low" : "\nResolution: high";
    text += battery_good ? "\nBattery:    good" : "\nBattery:    down";
    text += "\n";
    text += padded(taken);
    text += " photos taken \n";
    text += padded(free);
    text += " photos free";
    return text;
}

inline std::string model_line(const std::string& model, long baud, const std::string& device) {
    return "\n" + model + " camera with " + std::to_string(baud) + " baud at " + device + " detected.";
}

inline std::string closing_notice() {
    return "\n\nLook at my 'Lensvault' site!\nhttps://lensvault.example.org/lumicord/\n";
}

}  // namespace lumicord::testing
