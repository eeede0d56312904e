#include "front/console.h"

#include <cstdio>

#include "front/options.h"
#include "link/camera.h"

namespace lumicord::front {

namespace {

struct result_message {
    int code;
    const char* text;
};

constexpr result_message RESULT_MESSAGES[] = {
    {camlink::RES_NO_DATA, "  No data received!"},
    {camlink::RES_WRONG_DATA, "  Wrong data received!"},
    {camlink::RES_NOT_FOUND, "  Camera not found!"},
    {camlink::RES_BAD_PACKET, "  Wrong data packet received!"},
    {camlink::RES_NO_RESPONSE, "  No response from camera!"},
    {camlink::RES_IMPOSSIBLE, "  Impossible!"},
    {camlink::RES_SAVE_ERROR, "  Data save error!"},
    {camlink::RES_USER_BREAK, "  User Break!"},
    {camlink::RES_NOT_ON_DC25, "  Command for DC25 not supported!"},
};

}  // namespace

void show_banner() {
    std::printf("\nLumicord at %ld baud ", options.baud);
    std::puts("\n");
    std::fputs(VERSION_TEXT, stdout);
    std::puts(" \n");
    std::puts("Lumicord [-Bxxxxx] [-Cx] [-Vx]");
    std::puts("            |         |    |---- take x photos in video mode ");
    std::puts("            |         |----COM-Port x (<1>, 2, 3, 4)         ");
    std::puts("            |----Baud xxxxx (<9600>,19200,38400,57600,115200)");
}

void show_version() { std::printf("lumicord %s\n", VERSION_NUMBER); }

void show_menu() {
    std::putchar('\n');
    std::puts("COMMANDS: ");
    std::puts("  D  - Download Pictures ");
    std::puts("  E  - Erase Camera Memory");
    std::puts("  P  - Take Picture ");
    std::puts("  Q  - Quit ");
    std::puts("  R  - Toggle Resolution ");
    std::puts("  S  - Show DC20 Status ");
    std::puts("  T  - Load Thumbnails ");
    std::puts("  X  - Download Pictures and Exit ");
}

void show_status(bool with_model_line) {
    const camlink::camera_state_record& s = camlink::camera_state;
    if (with_model_line)
        std::printf("\nDC%02X camera with %ld baud at %s detected.", static_cast<unsigned>(s.model), options.baud,
                    chosen_device());
    std::fputs(s.resolution == 1 ? "\nResolution:  low" : "\nResolution: high", stdout);
    std::fputs(s.battery == 0 ? "\nBattery:    good" : "\nBattery:    down", stdout);
    std::printf("\n%2d photos taken \n%2d photos free", static_cast<int>(s.pictures_taken),
                static_cast<int>(s.pictures_free));
}

void report_result(int code) {
    for (const result_message& m : RESULT_MESSAGES) {
        if (m.code == code) {
            std::fputs(m.text, stdout);
            return;
        }
    }
    std::printf("  Error: %2X", static_cast<unsigned>(code));
}

}  // namespace lumicord::front
