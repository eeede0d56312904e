// read_options fed with arbitrary arguments: the NUL-separated pieces of
// the input. Besides what the sanitizers catch, the options must come out
// within their clamps, a device path must point into the arguments, and
// the number reader must agree with strtol (which also saturates).
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "front/options.h"

namespace {

using lumicord::front::options;
using lumicord::front::options_record;

void require(bool condition) {
    if (!condition) __builtin_trap();
}

// A help, version or port list request prints its text and ends the
// process, as it should; the fuzzer must not follow it there.
bool asks_for_help(const std::string& arg) {
    if (arg == "--help" || arg == "--version" || arg == "--ports") return true;
    return arg.size() >= 2 && arg[0] == '-' && (arg[1] == '?' || arg[1] == 'h' || arg[1] == 'H');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args{"lumicord"};
    std::string piece;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            if (!asks_for_help(piece)) args.push_back(piece);
            piece.clear();
        } else {
            piece += static_cast<char>(data[i]);
        }
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The hints go nowhere here; only how many there are is of interest.
    static std::FILE* const sink = std::fopen("/dev/null", "w");
    const int hints = lumicord::front::hint_separate_values(static_cast<int>(args.size()), argv.data(), sink);
    require(hints >= 0 && static_cast<std::size_t>(hints) < args.size());

    options = options_record{};
    lumicord::front::read_options(static_cast<int>(args.size()), argv.data());

    require(options.search_top >= 0);
    require(options.video_count == 0 || (options.video_count >= 1 && options.video_count <= 999));
    if (options.device != nullptr) {
        bool inside = false;
        for (std::string& a : args)
            inside = inside || (options.device >= a.data() && options.device <= a.data() + a.size());
        require(inside && options.device[0] == '/');
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const char* text = args[i].c_str();
        errno = 0;
        const long expected = std::strtol(text, nullptr, 10);
        require(lumicord::front::read_long(text) == expected);
        const int as_int = lumicord::front::read_int(text);
        require(as_int == (expected > INT_MAX ? INT_MAX : expected < INT_MIN ? INT_MIN : expected));
    }
    return 0;
}
