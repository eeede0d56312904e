#include "front/options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "front/console.h"
#include "front/goodbye.h"
#include "link/device_names.h"
#include "link/port_listing.h"

namespace lumicord::front {

options_record options;

namespace {

constexpr int DEFAULT_SEARCH_TOP = 100;
constexpr int MAX_VIDEO_COUNT = 999;
// Room for any device path a hint suggests.
constexpr std::size_t PATH_LENGTH = 4096;

bool takes_value(char letter) { return letter != '\0' && std::strchr("BbCcNnVv", letter) != nullptr; }

[[noreturn]] void show_help_and_exit() {
    show_banner();
    show_closing_notice();
    std::fflush(stdout);
    std::exit(0);
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A word the options read as a number: digits, perhaps after a sign.
bool looks_like_number(const char* word) {
    if (*word == '+' || *word == '-') ++word;
    return *word >= '0' && *word <= '9';
}

// The path from / of a device named without one: below /dev, where
// devices live, or else from the working directory. False when neither
// exists (or the path would not fit).
bool device_path_for_name(const char* name, char* path, std::size_t size) {
    struct stat st {};
    const int n = std::snprintf(path, size, "/dev/%s", name);
    if (n > 0 && static_cast<std::size_t>(n) < size && stat(path, &st) == 0) return true;
    if (stat(name, &st) != 0) return false;
    std::array<char, PATH_LENGTH> here{};
    if (getcwd(here.data(), here.size()) == nullptr) return false;
    while (name[0] == '.' && name[1] == '/') name += 2;
    const char* separator = std::strcmp(here.data(), "/") == 0 ? "" : "/";
    const int m = std::snprintf(path, size, "%s%s%s", here.data(), separator, name);
    return m > 0 && static_cast<std::size_t>(m) < size;
}

}  // namespace

long read_long(const char* text) {
    while (is_space(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    // Accumulate towards the sign's own limit so LONG_MIN is reachable.
    long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        const int digit = *text - '0';
        if (negative) {
            if (value < (LONG_MIN + digit) / 10) return LONG_MIN;
            value = value * 10 - digit;
        } else {
            if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
            value = value * 10 + digit;
        }
    }
    return value;
}

int read_int(const char* text) {
    const long value = read_long(text);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

const char* chosen_device() {
    return options.device != nullptr ? options.device : camlink::device_path_for(options.port);
}

int hint_separate_values(int argc, char** argv, std::FILE* to) {
    int hints = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        const char* arg = argv[i];
        const char* next = argv[i + 1];
        if (arg == nullptr || next == nullptr) continue;
        if (arg[0] != '-' || !takes_value(arg[1]) || arg[2] != '\0') continue;
        // An empty word would give a one-word form identical to what was typed.
        if (next[0] == '-' || next[0] == '\0') continue;
        // Joined, the word must mean what the user meant: -CttyUSB0 would be
        // port 1, and -Bfast 9600.
        const bool is_port = arg[1] == 'C' || arg[1] == 'c';
        std::array<char, PATH_LENGTH> device{};
        const char* value = nullptr;
        if (looks_like_number(next) || (is_port && camlink::names_device(next)))
            value = next;
        else if (is_port && device_path_for_name(next, device.data(), device.size()))
            value = device.data();
        if (value != nullptr)
            std::fprintf(to, "lumicord: %s takes its value in the same word: %s%s (\"%s\" alone is ignored).\n", arg,
                         arg, value, next);
        else if (is_port)
            std::fprintf(to,
                         "lumicord: %s takes its value in the same word, a port number or a device's full path "
                         "(\"%s\" alone is ignored).\n",
                         arg, next);
        else
            std::fprintf(to, "lumicord: %s takes its value in the same word, as a number (\"%s\" alone is ignored).\n",
                         arg, next);
        ++hints;
    }
    return hints;
}

void read_options(int argc, char** argv) {
    for (int i = argc - 1; i >= 1; --i) {
        const char* arg = argv[i];
        if (arg == nullptr || arg[0] != '-' || arg[1] == '\0') continue;
        if (arg[1] == '-') {
            // Of the long forms only these; any other is ignored.
            if (std::strcmp(arg, "--help") == 0) show_help_and_exit();
            if (std::strcmp(arg, "--ports") == 0) {
                camlink::show_serial_ports(stdout, camlink::list_serial_ports());
                std::fflush(stdout);
                std::exit(0);
            }
            if (std::strcmp(arg, "--version") == 0) {
                show_version();
                std::fflush(stdout);
                std::exit(0);
            }
            continue;
        }
        const char* value = arg + 2;
        switch (arg[1]) {
            case '?':
            case 'H':
            case 'h':
                show_help_and_exit();
            case 'B':
            case 'b':
                options.baud = read_long(value);
                break;
            case 'C':
            case 'c':
                // A path names the device itself, for adapters and
                // pseudo-terminals the port numbers cannot reach.
                if (camlink::names_device(value)) {
                    options.device = value;
                } else {
                    options.device = nullptr;
                    options.port = read_int(value);
                }
                break;
            case 'N':
            case 'n': {
                int v = read_int(value);
                if (v < 0)
                    v = DEFAULT_SEARCH_TOP;
                else if (v <= 9)
                    v *= 100;
                options.search_top = v;
                break;
            }
            case 'V':
            case 'v': {
                int v = read_int(value);
                if (v < 2) v = 1;
                if (v >= MAX_VIDEO_COUNT) v = MAX_VIDEO_COUNT;
                options.video_count = v;
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace lumicord::front
