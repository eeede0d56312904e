#include "sim/sim_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lumicord::sim {

namespace {

enum option_id {
    OPT_MODEL = 256,
    OPT_PICTURES,
    OPT_LOW_RES,
    OPT_MIXED_RES,
    OPT_FREE,
    OPT_BATTERY_DOWN,
    OPT_SNAP_DELAY,
    OPT_ERASE_DELAY,
    OPT_SILENT,
    OPT_SILENT_FROM,
    OPT_ACK_BYTE,
    OPT_BAD_BLOCK,
    OPT_BAD_ATTEMPTS,
    OPT_CUT_BLOCK,
    OPT_CUT_AFTER,
    OPT_SILENT_AFTER_CUT,
    OPT_HANGUP_AFTER,
    OPT_BACK_AFTER,
    OPT_NO_COMPLETION,
    OPT_SNAP_DONE,
    OPT_ERASE_DONE,
    OPT_UNACKED,
    OPT_FAULT_IN,
    OPT_MISSING_COMPLETION,
    OPT_BUSY_BYTES,
    OPT_PACED,
    OPT_LATENCY,
    OPT_ADAPTER_LATENCY,
    OPT_ADAPTER_PACKET,
    OPT_LOG,
    OPT_LINK,
    OPT_SAVE_PICTURES,
    OPT_HELP,
};

constexpr option LONG_OPTIONS[] = {
    {"model", required_argument, nullptr, OPT_MODEL},
    {"pictures", required_argument, nullptr, OPT_PICTURES},
    {"low-res", no_argument, nullptr, OPT_LOW_RES},
    {"mixed-res", no_argument, nullptr, OPT_MIXED_RES},
    {"free", required_argument, nullptr, OPT_FREE},
    {"battery-down", no_argument, nullptr, OPT_BATTERY_DOWN},
    {"snap-delay", required_argument, nullptr, OPT_SNAP_DELAY},
    {"erase-delay", required_argument, nullptr, OPT_ERASE_DELAY},
    {"silent", no_argument, nullptr, OPT_SILENT},
    {"silent-from", required_argument, nullptr, OPT_SILENT_FROM},
    {"ack-byte", required_argument, nullptr, OPT_ACK_BYTE},
    {"bad-block", required_argument, nullptr, OPT_BAD_BLOCK},
    {"bad-attempts", required_argument, nullptr, OPT_BAD_ATTEMPTS},
    {"cut-block", required_argument, nullptr, OPT_CUT_BLOCK},
    {"cut-after", required_argument, nullptr, OPT_CUT_AFTER},
    {"silent-after-cut", no_argument, nullptr, OPT_SILENT_AFTER_CUT},
    {"hangup-after", required_argument, nullptr, OPT_HANGUP_AFTER},
    {"back-after", required_argument, nullptr, OPT_BACK_AFTER},
    {"no-completion", no_argument, nullptr, OPT_NO_COMPLETION},
    {"snap-done", required_argument, nullptr, OPT_SNAP_DONE},
    {"erase-done", required_argument, nullptr, OPT_ERASE_DONE},
    {"unacknowledged", required_argument, nullptr, OPT_UNACKED},
    {"fault-in", required_argument, nullptr, OPT_FAULT_IN},
    {"missing-completion", required_argument, nullptr, OPT_MISSING_COMPLETION},
    {"busy-bytes", required_argument, nullptr, OPT_BUSY_BYTES},
    {"paced", no_argument, nullptr, OPT_PACED},
    {"latency-us", required_argument, nullptr, OPT_LATENCY},
    {"adapter-latency", required_argument, nullptr, OPT_ADAPTER_LATENCY},
    {"adapter-packet", required_argument, nullptr, OPT_ADAPTER_PACKET},
    {"log", required_argument, nullptr, OPT_LOG},
    {"link", required_argument, nullptr, OPT_LINK},
    {"save-pictures", required_argument, nullptr, OPT_SAVE_PICTURES},
    {"help", no_argument, nullptr, OPT_HELP},
    {nullptr, 0, nullptr, 0},
};

bool to_number(const char* text, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 0);
    return errno == 0 && end != text && *end == '\0';
}

bool to_done_fault(const char* text, done_fault& fault) {
    if (std::strcmp(text, "none") == 0) fault = done_fault::none;
    else if (std::strcmp(text, "never") == 0) fault = done_fault::never;
    else if (std::strcmp(text, "early") == 0) fault = done_fault::early;
    else return false;
    return true;
}

// The commands whose transfers the block faults can be confined to, by name
// or by opcode.
bool to_fault_opcode(const char* text, int& opcode) {
    struct named { const char* name; int opcode; };
    constexpr named NAMES[] = {{"status", 0x7F}, {"info", 0x55}, {"thumbnail", 0x56}, {"picture", 0x51}};
    for (const named& n : NAMES)
        if (std::strcmp(text, n.name) == 0) {
            opcode = n.opcode;
            return true;
        }
    long value = 0;
    if (!to_number(text, value) || value < 0 || value > 0xFF) return false;
    opcode = static_cast<int>(value);
    return true;
}

// The host drains the line for 1.5 s after a snap; a done byte sooner than
// that is swallowed, which is a fault of its own (--snap-done early).
constexpr long HOST_DRAIN_MS = 1500;

// A latency timer is set in whole milliseconds from 1 to 255; packets
// hold at least one byte, and none is larger than a high-speed one.
constexpr long MAX_ADAPTER_LATENCY_MS = 255;
constexpr long MAX_ADAPTER_PACKET = 512;

}  // namespace

void show_sim_usage() {
    std::puts(
        "Usage: lumicord-sim [options]\n"
        "Serves a simulated DC20/DC25 camera on a new pseudo-terminal, prints the\n"
        "terminal's path and serves until interrupted.\n"
        "\n"
        "Camera:\n"
        "  --model 20|25          camera model (default 20)\n"
        "  --pictures N           pictures stored at start (default 3)\n"
        "  --low-res              pictures and resolution are low (default high)\n"
        "  --mixed-res            every second picture has the other resolution\n"
        "  --free N               pictures free (default 16 - pictures)\n"
        "  --battery-down         report a weak battery\n"
        "  --snap-delay MS        done byte this long after a snap (default 1800,\n"
        "                         more than the host's 1500 ms drain)\n"
        "  --erase-delay MS       done byte this long after an erase (default 200)\n"
        "Faults:\n"
        "  --silent               never answer (a camera that is off)\n"
        "  --silent-from N        no answer from the Nth command on\n"
        "  --ack-byte B           acknowledge commands with byte B\n"
        "  --unacknowledged OP    carry out commands with opcode OP unacknowledged\n"
        "  --bad-block N          send block N with a wrong checksum...\n"
        "  --bad-attempts K       ...K times (default 1)\n"
        "  --cut-block N          stop block N part way...\n"
        "  --cut-after M          ...after M bytes (default 100)\n"
        "  --silent-after-cut     and fall silent for good\n"
        "  --hangup-after N       hang up the terminal instead of sending block N,\n"
        "                         as an unplugged USB-serial adapter does\n"
        "  --back-after MS        ...and come back after MS ms on a new terminal\n"
        "                         behind --link (needs --link); the camera keeps\n"
        "                         its speed and pictures\n"
        "  --no-completion        never send completion bytes\n"
        "  --missing-completion N end transfer N without its completion byte\n"
        "  --fault-in WHAT        count the N of --bad-block, --cut-block,\n"
        "                         --hangup-after and --missing-completion only\n"
        "                         over the answers to\n"
        "                         WHAT: status, info, thumbnail, picture or an\n"
        "                         opcode (default: over all blocks and transfers)\n"
        "  --snap-done none|never|early, --erase-done none|never|early\n"
        "  --busy-bytes N         send N non-zero bytes before each done byte\n"
        "Line:\n"
        "  --paced                send at the line's real rate, in 16-byte bursts\n"
        "  --latency-us US        camera response latency when paced\n"
        "  --adapter-latency MS   deliver through a model of a USB-serial adapter\n"
        "                         whose latency timer is MS (1-255; FTDI adapters:\n"
        "                         16, or 1 in low-latency mode); implies --paced\n"
        "  --adapter-packet N     bytes per adapter packet (default 62); goes with\n"
        "                         --adapter-latency\n"
        "  --log FILE             log every byte received: speed, hex, heard|garbled\n"
        "  --link PATH            also make PATH a symbolic link to the terminal\n"
        "Files:\n"
        "  --save-pictures DIR    write the stored pictures to DIR as picture-1.raw,\n"
        "                         picture-2.raw, ... and exit instead of serving");
}

sim_options parse_sim_options(int argc, char** argv) {
    sim_options o;
    long pictures = 3;
    long free = -1;
    bool low_res = false;
    bool mixed_res = false;
    long model = 0x20;
    bool bad_attempts_given = false;
    bool cut_after_given = false;
    bool adapter_packet_given = false;
    optind = 1;
    int c;
    while ((c = getopt_long(argc, argv, "h", LONG_OPTIONS, nullptr)) != -1) {
        long v = 0;
        const char* arg = optarg;
        auto number = [&]() {
            if (!to_number(arg, v) || v < 0) {
                o.error = std::string("not a number: ") + arg;
                return false;
            }
            return true;
        };
        switch (c) {
            case OPT_MODEL:
                if (!number()) return o;
                // "20" and "25" name the models; anything else is the raw byte.
                model = v == 20 ? 0x20 : v == 25 ? 0x25 : v;
                break;
            case OPT_PICTURES: if (!number()) return o; pictures = v; break;
            case OPT_LOW_RES: low_res = true; break;
            case OPT_MIXED_RES: mixed_res = true; break;
            case OPT_FREE: if (!number()) return o; free = v; break;
            case OPT_BATTERY_DOWN: o.camera.battery = 1; break;
            case OPT_SNAP_DELAY:
                if (!number()) return o;
                if (v <= HOST_DRAIN_MS) {
                    o.error = std::string("snap delay must be more than 1500 ms (see --snap-done early): ") + arg;
                    return o;
                }
                o.camera.snap_delay_ms = static_cast<int>(v > 600000 ? 600000 : v);
                break;
            case OPT_ERASE_DELAY: if (!number()) return o; o.camera.erase_delay_ms = static_cast<int>(v > 600000 ? 600000 : v); break;
            case OPT_SILENT: o.faults.silent_from_command = 1; break;
            case OPT_SILENT_FROM: if (!number()) return o; o.faults.silent_from_command = static_cast<int>(v); break;
            case OPT_ACK_BYTE: if (!number()) return o; o.faults.ack_byte = static_cast<std::uint8_t>(v); break;
            case OPT_UNACKED: if (!number()) return o; o.faults.unacknowledged_opcode = static_cast<int>(v); break;
            case OPT_FAULT_IN:
                if (!to_fault_opcode(arg, o.faults.fault_opcode)) {
                    o.error = std::string("not a command: ") + arg;
                    return o;
                }
                break;
            case OPT_MISSING_COMPLETION: if (!number()) return o; o.faults.missing_completion = static_cast<int>(v); break;
            case OPT_BUSY_BYTES: if (!number()) return o; o.faults.busy_before_done = static_cast<int>(v > 1000 ? 1000 : v); break;
            case OPT_BAD_BLOCK: if (!number()) return o; o.faults.bad_block = static_cast<int>(v); break;
            case OPT_BAD_ATTEMPTS: if (!number()) return o; o.faults.bad_block_attempts = static_cast<int>(v); bad_attempts_given = true; break;
            case OPT_CUT_BLOCK: if (!number()) return o; o.faults.cut_block = static_cast<int>(v); break;
            case OPT_CUT_AFTER: if (!number()) return o; o.faults.cut_after = static_cast<int>(v); cut_after_given = true; break;
            case OPT_SILENT_AFTER_CUT: o.faults.silent_after_cut = true; break;
            case OPT_HANGUP_AFTER: if (!number()) return o; o.faults.hangup_block = static_cast<int>(v); break;
            case OPT_BACK_AFTER: if (!number()) return o; o.faults.back_after_ms = static_cast<int>(v > 600000 ? 600000 : v); break;
            case OPT_NO_COMPLETION: o.faults.no_completion = true; break;
            case OPT_SNAP_DONE:
                if (!to_done_fault(arg, o.faults.snap_done)) { o.error = std::string("not a done fault: ") + arg; return o; }
                break;
            case OPT_ERASE_DONE:
                if (!to_done_fault(arg, o.faults.erase_done)) { o.error = std::string("not a done fault: ") + arg; return o; }
                break;
            case OPT_PACED: o.pacing.paced = true; break;
            case OPT_LATENCY: if (!number()) return o; o.pacing.latency_us = static_cast<int>(v); break;
            case OPT_ADAPTER_LATENCY:
                if (!number()) return o;
                if (v < 1 || v > MAX_ADAPTER_LATENCY_MS) {
                    o.error = std::string("adapter latency must be 1 to 255 ms: ") + arg;
                    return o;
                }
                o.pacing.paced = true;
                o.pacing.adapter.present = true;
                o.pacing.adapter.latency_ms = static_cast<int>(v);
                break;
            case OPT_ADAPTER_PACKET:
                if (!number()) return o;
                if (v < 1 || v > MAX_ADAPTER_PACKET) {
                    o.error = std::string("adapter packet must be 1 to 512 bytes: ") + arg;
                    return o;
                }
                o.pacing.adapter.packet_bytes = static_cast<std::size_t>(v);
                adapter_packet_given = true;
                break;
            case OPT_LOG: o.log_path = arg; break;
            case OPT_LINK: o.link_path = arg; break;
            case OPT_SAVE_PICTURES: o.save_pictures_dir = arg; break;
            case OPT_HELP:
            case 'h': o.help = true; return o;
            default: o.error = "unknown option"; return o;
        }
    }
    if (optind < argc) {
        o.error = std::string("unexpected argument: ") + argv[optind];
        return o;
    }
    if (o.faults.back_after_ms >= 0 && o.link_path.empty()) {
        // A new terminal has a new name: only the link can lead the host to it.
        o.error = "--back-after goes with --link";
        return o;
    }
    if (adapter_packet_given && !o.pacing.adapter.present) {
        o.error = "--adapter-packet goes with --adapter-latency";
        return o;
    }
    if (pictures > 255) pictures = 255;
    camera_config camera = camera_with_pictures(static_cast<int>(pictures), low_res, static_cast<std::uint8_t>(model));
    if (mixed_res)
        for (std::size_t i = 1; i < camera.pictures.size(); i += 2) camera.pictures[i].low_res = !low_res;
    camera.battery = o.camera.battery;
    camera.snap_delay_ms = o.camera.snap_delay_ms;
    camera.erase_delay_ms = o.camera.erase_delay_ms;
    if (free >= 0) camera.pictures_free = static_cast<int>(free > 255 ? 255 : free);
    o.camera = camera;
    if (o.faults.bad_block != 0 && !bad_attempts_given) o.faults.bad_block_attempts = 1;
    if (o.faults.cut_block != 0 && !cut_after_given) o.faults.cut_after = 100;
    return o;
}

}  // namespace lumicord::sim
