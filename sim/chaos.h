// A hostile or broken camera: random faults in what the simulator sends and
// hears, for soak tests of the host's error handling.
//
// Every fault is of a kind the host can notice, or one that heals by itself
// without leaving stray bytes on the line:
//   - silence: a command that goes unheard, an answer held back (never as
//     long as the host's 1.5 s timeout, so it never arrives after the host
//     gave up), a block that is cut short or not sent, a missing completion
//     or done byte;
//   - a wrong acknowledgement, after which the camera does nothing;
//   - a block with one data byte changed and its checksum left as it was, or
//     with a wrong checksum (a change the XOR check always sees);
//   - stray bytes (never the done byte 0x00) right after acknowledging a
//     snap, an erase or a resolution change, where the host drains the line
//     or reads single bytes until the done byte;
//   - a lost resend request, or the lost last byte (0x1A) of a command, so
//     that the camera never sees the command whole.
// Left out on purpose are faults the protocol cannot detect: a block that
// comes twice, a late answer after the host's timeout, an acknowledgement
// followed by the work, or stray bytes at other moments all shift the host's
// reads against the camera's blocks, and a shifted 1025-byte read passes the
// XOR check by chance once in 256 times; a lost or misheard 0xD2 makes the
// camera repeat a block the host already has; a block made up anew with a
// matching checksum is indistinguishable from the real one; and losing other
// bytes of commands lets the camera piece a different command together from
// the remains of two. A soak test that allowed those would blame the host
// for what no host can tell.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace lumicord::sim {

// Chances in thousandths, each per occasion for that fault.
struct chaos_config {
    std::uint32_t seed = 1;
    int ignore_command = 0;       // a command goes unheard: no answer, nothing done
    int deaf_streak = 0;          // ...and so do up to this many after it
    int wrong_ack = 0;            // a command is answered with another byte than 0xD1 and not carried out
    int flip_data = 0;            // a block with one data byte changed, checksum as it was
    int bad_checksum = 0;         // a block with a wrong checksum byte
    int cut_block = 0;            // a block that stops part way (the camera then waits for the host)
    int drop_block = 0;           // a block that is not sent at all
    int drop_completion = 0;      // an exchange without its completion byte
    int drop_done = 0;            // a snap or erase that never reports done (the work is done)
    int chatter = 0;              // stray bytes after acknowledging a snap, an erase or a resolution change...
    int max_chatter = 8;          // ...more than half this many, up to this many
    int lose_resend_request = 0;  // an 0xE3 from the host goes unheard
    int lose_command_end = 0;     // the last byte of a command goes unheard
    int late_answer = 0;          // an acknowledgement or block held back...
    int max_late_ms = 700;        // ...by up to this long (kept well below the 1.5 s timeout)
};

// How often each fault struck.
struct chaos_counts {
    int ignored_commands = 0;
    int wrong_acks = 0;
    int flipped_blocks = 0;
    int bad_checksums = 0;
    int cut_blocks = 0;
    int dropped_blocks = 0;
    int dropped_completions = 0;
    int dropped_dones = 0;
    int chatters = 0;
    int lost_resend_requests = 0;
    int lost_command_ends = 0;
    int late_answers = 0;
    int total() const;
};

class chaos {
public:
    explicit chaos(const chaos_config& config);

    enum class command_fate { answer, ignore, wrong_ack };
    // What becomes of a complete command; for wrong_ack, ack is the byte to send.
    command_fate fate_of_command(std::uint8_t& ack);
    // Whether a byte from the host goes unheard. Only 0xE3, and 0x1A
    // outside a transfer, can be lost.
    bool loses_host_byte(std::uint8_t byte, bool in_transfer);
    // Changes, cuts or empties a block about to be sent (data then checksum).
    void mangle_block(std::vector<std::uint8_t>& block);
    bool drops_completion();
    bool drops_done();
    // Stray bytes to send right after an acknowledgement that the host
    // follows with a drain or a wait for the done byte; usually none.
    std::vector<std::uint8_t> chatter();
    // How long to hold back the next answer, in milliseconds; usually 0.
    int late_ms();

    const chaos_counts& counts() const { return counts_; }

private:
    bool strikes(int per_mille);
    int below(int bound);

    chaos_config config_;
    std::mt19937 random_;
    int deaf_left_ = 0;
    chaos_counts counts_;
};

}  // namespace lumicord::sim
