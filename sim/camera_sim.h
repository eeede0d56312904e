// A DC20/DC25 camera on the master side of a real pseudo-terminal. The
// program under test opens the slave side as its serial device. The camera
// is served by a thread of its own, so tests can drive the program's code in
// the same process, or run the lumicord binary against it.
#pragma once

#include <termios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/camera_data.h"
#include "sim/chaos.h"
#include "sim/protocol.h"

namespace lumicord::sim {

enum class done_fault {
    none,   // the done byte comes after the configured delay
    never,  // the camera never finishes (and does not do the work)
    early,  // the done byte comes within the host's drain and is swallowed
    // The first time: the terminal hangs up once the acknowledgement is
    // out, before any work is done (the cable pulled in mid-command);
    // afterwards as none.
    hang_up,
};

// Faults on demand. Commands and blocks are counted from 1 over the
// simulator's whole life: every complete command it hears, every block it
// starts to send (a resend is another attempt at the same block). With
// fault_opcode set, the block and transfer faults count only the transfers
// that commands with this opcode start, so "block 62 of the pictures" can be
// named without counting the status exchanges before it.
struct fault_config {
    int silent_from_command = 0;   // this command and every later one get no answer at all
    std::uint8_t ack_byte = CAMERA_ACK;  // what the camera acknowledges commands with
    int unacknowledged_opcode = -1;  // commands with this opcode are carried out without acknowledgement
    int bad_block = 0;             // this block is sent with a wrong checksum...
    int bad_block_attempts = 0;    // ...for this many attempts
    int cut_block = 0;             // this block stops after cut_after bytes...
    int cut_after = 0;
    int cut_block_attempts = 1;    // ...for this many attempts
    bool silent_after_cut = false; // and the camera then falls silent for good
    bool no_completion = false;    // exchanges end without their completion byte
    done_fault snap_done = done_fault::none;
    done_fault erase_done = done_fault::none;
    int fault_opcode = -1;         // see above; -1: every transfer counts
    int missing_completion = 0;    // this transfer ends without its completion byte
    int busy_before_done = 0;      // non-zero bytes the camera sends just before a done byte
    // The line goes away, as an unplugged USB-serial adapter does: instead
    // of sending this block (counted as the block faults are) the terminal
    // is hung up, once what was sent before it is out...
    int hangup_block = 0;
    // ...and comes back on a new terminal after this many milliseconds
    // (never when negative). The camera keeps its speed and its pictures;
    // the transfer it was in is abandoned.
    int back_after_ms = -1;
    // The camera that comes back answers nothing (it lost its power).
    bool back_silent = false;
    // A loose connector: each time the terminal comes back it hangs up
    // again after this many milliseconds, for ever (never when 0).
    int flap_up_ms = 0;
};

// A USB-serial adapter between the line and the host. Its chip collects
// the bytes it receives into USB packets: a full packet goes to the host as
// soon as its last byte has arrived, a partly filled one only when the
// chip's latency timer runs out. The timer starts with the first byte of a
// packet and is started afresh for the next packet after each one is sent.
// Real chips of this kind count the timer from the last packet they sent
// (sending status-only packets while idle), not from the last byte they
// received, so a steady trickle of bytes cannot hold data back longer than
// the timer. Behind a full packet that is the same as counting from the
// next byte, to within one byte-time; a byte after a quiet spell waits, on
// a real chip, anything from nothing to the whole timer depending on where
// the timer stands, and here always the whole timer: the bound, and the
// same from run to run.
struct adapter_config {
    bool present = false;
    int latency_ms = 16;            // the latency timer (16 ms unless the driver asks for less)
    std::size_t packet_bytes = 62;  // payload of a 64-byte packet after the chip's two status bytes
};

// Serving speed: instantly, or at the line's real rate in the bursts a
// 16-byte receive FIFO delivers (or, with an adapter, in its packets).
// Paced, the host's bytes take their line time too: the camera hears a byte
// one byte-time after the host wrote it (later when earlier bytes are still
// on the wire), and answers latency_us after hearing the byte that asked for
// the answer. The adapter is modelled only when paced.
struct pacing_config {
    bool paced = false;
    int latency_us = 0;  // camera response latency before each answer
    adapter_config adapter{};
};

// Bytes the camera sent, as runs at one line speed.
struct sent_run {
    long line_speed;
    std::size_t bytes;
};

struct logged_byte {
    std::uint8_t value;
    long line_speed;  // the speed the host had set on the line
    bool heard;       // false when it arrived while host and camera speeds differed
};

class camera_sim {
public:
    explicit camera_sim(camera_config camera, fault_config faults = {}, pacing_config pacing = {});
    ~camera_sim();
    camera_sim(const camera_sim&) = delete;
    camera_sim& operator=(const camera_sim&) = delete;

    // The terminal the simulator started on.
    const std::string& device_path() const { return slave_path_; }
    // The terminal it serves now (another one after a hang-up and return).
    std::string current_device_path() const;
    // Called, on the serving thread, with an empty path when the terminal
    // hangs up and with the new terminal's path each time the line comes
    // back. Set before the host talks.
    void on_terminal_change(std::function<void(const std::string&)> callback);
    // Hangs the terminal up (once what was sent is out), whatever the
    // camera is doing, as when an adapter is pulled while the line is idle,
    // and returns once it has; it comes back as fault_config.back_after_ms
    // says.
    void hang_up_now();
    // Sends bytes nobody asked for, and returns once they are in the
    // terminal: what a camera cut off mid-transfer leaves for the next
    // program that opens the device.
    void send_unasked(const std::vector<std::uint8_t>& bytes);
    // Times the terminal has been hung up so far.
    int hangups() const;
    // The camera's memory is emptied behind the host's back (a camera
    // reset, or another camera plugged in).
    void lose_pictures();
    // A picture taken with the camera's own button.
    void press_shutter();

    // Returns once every byte written to the device so far has been handled.
    void settle();

    std::vector<logged_byte> received() const;
    // The commands heard, as eight bytes each, with the speed they came at.
    struct heard_command {
        std::vector<std::uint8_t> bytes;
        long line_speed;
    };
    std::vector<heard_command> commands() const;
    camera_config camera() const;
    long camera_speed() const;
    // The settings the host left on the line.
    termios line_settings() const;
    // Bytes of the block counter so far (blocks started, resends not counted).
    int blocks_sent() const;
    // Everything the camera has sent so far, at the speed it sent it. Paced,
    // the last of it may still be on its way to the host.
    std::vector<sent_run> sent() const;
    // How long, in all, the adapter's latency timer has kept the host
    // waiting: for each packet the timer sent with nothing more behind it,
    // the time from its last byte's arrival to its sending (zero without an
    // adapter).
    std::chrono::nanoseconds adapter_held() const { return std::chrono::nanoseconds(adapter_held_ns_.load()); }

    // Writes each received byte to a log file as it arrives ("speed hex heard").
    void log_to(std::FILE* stream);

    // Random faults from now on (sim/chaos.h); set before the host talks.
    void set_chaos(const chaos_config& config);
    // How often each fault struck so far.
    chaos_counts chaos_struck() const;
    // Every picture the camera has taken (by snapping) so far.
    std::vector<stored_picture> pictures_taken() const;

private:
    struct transfer {
        std::vector<std::uint8_t> payload;
        std::size_t block_size = 0;
        std::size_t next_block = 0;  // index of the block being sent
        int attempt = 0;
        int block_number = 0;        // the current block's number for the block faults (0: out of their scope)
        int transfer_number = 0;     // this transfer's number for missing_completion (0: out of scope)
        bool in_fault_scope = true;
    };
    struct pending_done {
        std::chrono::steady_clock::time_point due;
        bool is_snap;
    };
    // Bytes on their way to the host, written to the terminal when due.
    struct outgoing {
        std::chrono::steady_clock::time_point due;
        std::vector<std::uint8_t> bytes;
        std::size_t written = 0;
        // An adapter packet that its latency timer sends: bytes arriving
        // up to its due time join it while there is room.
        bool waiting_for_timer = false;
        std::chrono::steady_clock::time_point last_arrival{};
    };

    void serve();
    void handle_input(const std::uint8_t* bytes, std::size_t count);
    void handle_byte(std::uint8_t byte);
    void handle_command();
    void start_transfer(std::vector<std::uint8_t> payload, std::size_t block_size, std::uint8_t opcode);
    void send_current_block();
    void finish_done(const pending_done& done);
    void store_picture();  // with the mutex held
    void emit(const std::uint8_t* bytes, std::size_t count);
    void emit_byte(std::uint8_t byte) { emit(&byte, 1); }
    void hold_back(int ms);
    void through_adapter(std::uint8_t byte, std::chrono::steady_clock::time_point arrival);
    std::chrono::steady_clock::time_point answer_sent_at() const;
    long host_speed() const;
    void drain_master();
    std::optional<std::chrono::steady_clock::time_point> next_wake() const;
    void write_due();
    void hang_up();
    void come_back();
    // A new pseudo-terminal: master_ and slave_keepalive_; its path.
    std::string open_terminal();

    camera_config camera_;
    fault_config faults_;
    pacing_config pacing_;
    std::atomic<int> master_{-1};  // -1 while hung up
    int slave_keepalive_ = -1;
    int control_[2] = {-1, -1};
    std::string slave_path_;

    mutable std::mutex mutex_;
    std::string current_path_;
    std::function<void(const std::string&)> on_terminal_change_;
    bool hangup_pending_ = false;  // hang up once what was sent before is out
    int hangups_ = 0;
    std::optional<std::chrono::steady_clock::time_point> back_due_;
    std::optional<std::chrono::steady_clock::time_point> flap_due_;  // the loose connector lets go again
    std::condition_variable settled_;
    std::uint64_t sync_requested_ = 0;
    std::uint64_t sync_done_ = 0;

    // Touched by the serving thread; read by tests under mutex_.
    std::vector<logged_byte> log_;
    std::vector<std::uint8_t> command_;  // bytes of the command being collected
    std::vector<heard_command> commands_;
    long speed_ = 9600;
    int command_count_ = 0;
    int block_count_ = 0;
    int fault_block_count_ = 0;     // blocks within the faults' scope
    int fault_transfer_count_ = 0;  // transfers within the faults' scope
    bool silent_ = false;
    std::optional<transfer> transfer_;
    std::optional<pending_done> done_;
    std::uint32_t next_seed_ = 1000;
    std::FILE* log_stream_ = nullptr;
    std::chrono::steady_clock::time_point line_free_{};   // camera -> host wire busy until
    std::chrono::steady_clock::time_point heard_at_{};    // last host byte reached the camera
    std::chrono::steady_clock::time_point hold_until_{};  // the chaos holds the next answer back until
    std::optional<std::chrono::steady_clock::time_point> answering_since_;  // set while a command is handled
    std::vector<sent_run> sent_;
    std::unique_ptr<chaos> chaos_;
    std::vector<stored_picture> taken_;

    // The serving thread's alone: filled while it handles the host's bytes
    // (under mutex_), emptied into the terminal when due (outside it), so
    // that nobody waiting for the lock waits for the line.
    std::deque<outgoing> outbox_;
    std::optional<outgoing> writing_;  // taken from outbox_, not yet all written
    std::atomic<long long> adapter_held_ns_{0};

    std::thread thread_;
};

}  // namespace lumicord::sim
