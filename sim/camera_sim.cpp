#include "sim/camera_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "sim/make_pipe.h"
#include "sim/protocol.h"

namespace lumicord::sim {

namespace {

// poll with a timeout of nanoseconds where the system has ppoll; elsewhere
// the timeout is rounded up to whole milliseconds, which only coarsens the
// pacing.
int wait_for(pollfd* fds, std::size_t count, const timespec* timeout) {
#if defined(LUMICORD_HAVE_PPOLL)
    return ::ppoll(fds, static_cast<nfds_t>(count), timeout, nullptr);
#else
    const int ms = timeout == nullptr ? -1 : static_cast<int>(timeout->tv_sec * 1000 + (timeout->tv_nsec + 999'999) / 1'000'000);
    return ::poll(fds, static_cast<nfds_t>(count), ms);
#endif
}

constexpr int EARLY_DONE_MS = 200;
constexpr int BITS_PER_BYTE = 11;  // start, 8 data, parity, stop
constexpr std::size_t FIFO_BYTES = 16;

enum : std::uint8_t {
    OP_INIT = 0x41,
    OP_GET_PICTURE = 0x51,
    OP_PICTURE_INFO = 0x55,
    OP_THUMBNAIL = 0x56,
    OP_RESOLUTION = 0x71,
    OP_SNAP = 0x77,
    OP_ERASE = 0x7A,
    OP_STATUS = 0x7F,
};

long speed_of(speed_t constant) {
    for (const speed_code& c : SPEED_CODES)
        if (c.constant == constant) return c.speed;
    return 0;
}

void write_all(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

// One character on the wire: start bit, 8 data bits, parity, stop bit.
std::chrono::nanoseconds byte_time(long baud) {
    return std::chrono::nanoseconds(1'000'000'000LL * BITS_PER_BYTE / (baud > 0 ? baud : 9600));
}

timespec timespec_of(std::chrono::nanoseconds d) {
    if (d.count() < 0) d = std::chrono::nanoseconds(0);
    return {static_cast<time_t>(d.count() / 1'000'000'000), static_cast<long>(d.count() % 1'000'000'000)};
}

std::uint8_t xor_of(const std::uint8_t* bytes, std::size_t count) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum ^= bytes[i];
    return sum;
}

}  // namespace

camera_sim::camera_sim(camera_config camera, fault_config faults, pacing_config pacing)
    : camera_(std::move(camera)), faults_(faults), pacing_(pacing) {
    slave_path_ = open_terminal();
    current_path_ = slave_path_;
    if (make_pipe(control_, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { serve(); });
}

std::string camera_sim::open_terminal() {
    // The POSIX calls rather than openpty, whose header and library differ
    // from one system to the next (and which some SDKs do not ship).
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) throw std::runtime_error(std::string("posix_openpt failed: ") + std::strerror(errno));
    std::string name;
    {
        // ptsname answers in a buffer of its own, shared by every thread.
        static std::mutex ptsname_mutex;
        std::lock_guard lock(ptsname_mutex);
        const char* slave_name = ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : nullptr;
        if (slave_name != nullptr) name = slave_name;
    }
    const int slave = name.empty() ? -1 : ::open(name.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        const int error = errno;
        ::close(master);
        throw std::runtime_error("pseudo-terminal " + name + " could not be opened: " + std::strerror(error));
    }
    // Our own hold on the slave keeps the master readable while the program
    // under test closes and reopens the device.
    slave_keepalive_ = slave;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave_keepalive_, F_SETFD, FD_CLOEXEC);
    master_ = master;
    return name;
}

camera_sim::~camera_sim() {
    const std::uint8_t stop = 'q';
    write_all(control_[1], &stop, 1);
    thread_.join();
    if (master_ >= 0) ::close(master_);
    if (slave_keepalive_ >= 0) ::close(slave_keepalive_);
    ::close(control_[0]);
    ::close(control_[1]);
}

void camera_sim::settle() {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = ++sync_requested_;
    lock.unlock();
    const std::uint8_t sync = 's';
    write_all(control_[1], &sync, 1);
    lock.lock();
    settled_.wait(lock, [&] { return sync_done_ >= ticket; });
}

std::vector<logged_byte> camera_sim::received() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<camera_sim::heard_command> camera_sim::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

camera_config camera_sim::camera() const {
    std::lock_guard lock(mutex_);
    return camera_;
}

std::string camera_sim::current_device_path() const {
    std::lock_guard lock(mutex_);
    return current_path_;
}

void camera_sim::on_terminal_change(std::function<void(const std::string&)> callback) {
    std::lock_guard lock(mutex_);
    on_terminal_change_ = std::move(callback);
}

void camera_sim::send_unasked(const std::vector<std::uint8_t>& bytes) {
    {
        std::lock_guard lock(mutex_);
        emit(bytes.data(), bytes.size());
    }
    settle();
}

void camera_sim::hang_up_now() {
    std::unique_lock lock(mutex_);
    const int before = hangups_;
    hangup_pending_ = true;
    lock.unlock();
    const std::uint8_t wake = 'w';
    write_all(control_[1], &wake, 1);
    lock.lock();
    settled_.wait(lock, [&] { return hangups_ > before; });
}

void camera_sim::lose_pictures() {
    std::lock_guard lock(mutex_);
    camera_.pictures_free += static_cast<int>(camera_.pictures.size());
    camera_.pictures.clear();
}

void camera_sim::press_shutter() {
    std::lock_guard lock(mutex_);
    store_picture();
}

void camera_sim::store_picture() {
    if (camera_.pictures_free <= 0) return;
    stored_picture p;
    p.low_res = camera_.resolution == 1;
    p.seed = next_seed_++;
    p.aperture = static_cast<std::uint8_t>(p.seed % 2 == 0 ? 8 : 4);
    p.exposure = static_cast<std::uint8_t>(p.seed % 70);
    camera_.pictures.push_back(p);
    --camera_.pictures_free;
    taken_.push_back(p);
}

int camera_sim::hangups() const {
    std::lock_guard lock(mutex_);
    return hangups_;
}

long camera_sim::camera_speed() const {
    std::lock_guard lock(mutex_);
    return speed_;
}

int camera_sim::blocks_sent() const {
    std::lock_guard lock(mutex_);
    return block_count_;
}

std::vector<sent_run> camera_sim::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

termios camera_sim::line_settings() const {
    termios t{};
    tcgetattr(master_, &t);
    return t;
}

void camera_sim::log_to(std::FILE* stream) {
    std::lock_guard lock(mutex_);
    log_stream_ = stream;
}

void camera_sim::set_chaos(const chaos_config& config) {
    std::lock_guard lock(mutex_);
    chaos_ = std::make_unique<chaos>(config);
}

chaos_counts camera_sim::chaos_struck() const {
    std::lock_guard lock(mutex_);
    return chaos_ ? chaos_->counts() : chaos_counts{};
}

std::vector<stored_picture> camera_sim::pictures_taken() const {
    std::lock_guard lock(mutex_);
    return taken_;
}

long camera_sim::host_speed() const {
    // On Linux the master reports the settings the slave's user applied.
    termios t{};
    if (tcgetattr(master_, &t) != 0) return 0;
    return speed_of(cfgetospeed(&t));
}

std::optional<std::chrono::steady_clock::time_point> camera_sim::next_wake() const {
    std::optional<std::chrono::steady_clock::time_point> wake;
    if (done_) wake = done_->due;
    if (back_due_ && (!wake || *back_due_ < *wake)) wake = back_due_;
    if (flap_due_ && (!wake || *flap_due_ < *wake)) wake = flap_due_;
    if (hangup_pending_ && !writing_ && outbox_.empty()) wake = std::chrono::steady_clock::now();
    // A chunk being written waits for room in the terminal, not for a time.
    if (!writing_ && !outbox_.empty() && (!wake || outbox_.front().due < *wake)) wake = outbox_.front().due;
    return wake;
}

void camera_sim::serve() {
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        std::optional<std::chrono::steady_clock::time_point> wake;
        bool hang_up_now = false;
        bool back_now = false;
        {
            std::lock_guard lock(mutex_);
            if (flap_due_ && std::chrono::steady_clock::now() >= *flap_due_) {
                flap_due_.reset();
                hangup_pending_ = true;
            }
            hang_up_now = hangup_pending_ && !writing_ && outbox_.empty();
            back_now = back_due_ && std::chrono::steady_clock::now() >= *back_due_;
        }
        if (hang_up_now) hang_up();
        if (back_now) come_back();
        {
            std::lock_guard lock(mutex_);
            wake = next_wake();
        }
        // Nanoseconds, not poll's milliseconds: at 115200 baud a burst is
        // due every 1.5 ms.
        timespec timeout{};
        if (wake) timeout = timespec_of(*wake - std::chrono::steady_clock::now());
        const short master_events = static_cast<short>(POLLIN | (writing_ ? POLLOUT : 0));
        std::array<pollfd, 2> fds{{{master_, master_events, 0}, {control_[0], POLLIN, 0}}};
        const int ready = wait_for(fds.data(), fds.size(), wake ? &timeout : nullptr);
        if (ready < 0 && errno != EINTR) return;
        if (fds[0].revents & POLLIN) drain_master();
        {
            std::lock_guard lock(mutex_);
            if (done_ && std::chrono::steady_clock::now() >= done_->due) {
                const pending_done done = *done_;
                done_.reset();
                finish_done(done);
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(control_[0], buffer.data(), buffer.size());
            bool stop = false;
            bool sync = false;
            for (ssize_t i = 0; i < n; ++i) {
                stop = stop || buffer[static_cast<std::size_t>(i)] == 'q';
                sync = sync || buffer[static_cast<std::size_t>(i)] == 's';
            }
            if (stop) return;
            if (sync) {
                // Everything the host wrote before asking is in the master's
                // queue by now: handle it, and send what is due at once,
                // before answering.
                drain_master();
                write_due();
                std::lock_guard lock(mutex_);
                sync_done_ = sync_requested_;
                settled_.notify_all();
            }
        }
        write_due();
        if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN)) {
            // Cannot happen while we hold the slave open; avoid spinning if it does.
            ::poll(nullptr, 0, 10);
        }
    }
}

// The adapter is gone: the host's device hangs up (its reads end, its
// writes fail) once both ends of the terminal are closed.
void camera_sim::hang_up() {
    std::function<void(const std::string&)> callback;
    {
        std::lock_guard lock(mutex_);
        callback = on_terminal_change_;
        hangup_pending_ = false;
        transfer_.reset();
        command_.clear();
        if (faults_.back_after_ms >= 0)
            back_due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(faults_.back_after_ms);
    }
    // The names lead nowhere before the terminal goes, so that nobody
    // opens a new terminal that happens to get this one's number.
    if (callback) callback(std::string());
    ::close(master_.exchange(-1));
    ::close(slave_keepalive_);
    slave_keepalive_ = -1;
    // Counted only now that the host's side has hung up, for hang_up_now.
    std::lock_guard lock(mutex_);
    ++hangups_;
    settled_.notify_all();
}

// Plugged in again: a new terminal, the camera as it was.
void camera_sim::come_back() {
    const std::string path = open_terminal();
    std::function<void(const std::string&)> callback;
    {
        std::lock_guard lock(mutex_);
        back_due_.reset();
        current_path_ = path;
        if (faults_.back_silent) silent_ = true;
        if (faults_.flap_up_ms > 0) flap_due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(faults_.flap_up_ms);
        // What the camera sent into the void is gone.
        outbox_.clear();
        writing_.reset();
        callback = on_terminal_change_;
    }
    if (callback) callback(path);
}

void camera_sim::write_due() {
    for (;;) {
        if (!writing_) {
            if (outbox_.empty() || outbox_.front().due > std::chrono::steady_clock::now()) return;
            writing_ = std::move(outbox_.front());
            outbox_.pop_front();
            // Only the wait for the last bytes the camera has to send holds
            // the host up; packets that go while more bytes are coming do not.
            if (writing_->waiting_for_timer && outbox_.empty()) {
                const auto held = writing_->due - writing_->last_arrival;
                adapter_held_ns_ += std::chrono::duration_cast<std::chrono::nanoseconds>(held).count();
            }
        }
        outgoing& chunk = *writing_;
        while (chunk.written < chunk.bytes.size()) {
            const ssize_t n = ::write(master_, chunk.bytes.data() + chunk.written, chunk.bytes.size() - chunk.written);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return;  // the rest when the terminal has room
            if (n <= 0) break;                     // nobody to write to: drop it
            chunk.written += static_cast<std::size_t>(n);
        }
        writing_.reset();
    }
}

void camera_sim::drain_master() {
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n <= 0) return;
        std::lock_guard lock(mutex_);
        handle_input(buffer.data(), static_cast<std::size_t>(n));
    }
}

void camera_sim::handle_input(const std::uint8_t* bytes, std::size_t count) {
    const long line_speed = host_speed();
    const auto host_byte_time = byte_time(line_speed);
    for (std::size_t i = 0; i < count; ++i) {
        if (pacing_.paced) {
            // The byte is on the wire from now, or from when the one before
            // it has left; the camera has it a byte-time later.
            const auto now = std::chrono::steady_clock::now();
            heard_at_ = (heard_at_ > now ? heard_at_ : now) + host_byte_time;
        }
        // A camera at another speed than the host sees only garbage.
        const bool heard = line_speed == speed_;
        log_.push_back({bytes[i], line_speed, heard});
        if (log_stream_ != nullptr) {
            std::fprintf(log_stream_, "%ld %02X %s\n", line_speed, bytes[i], heard ? "heard" : "garbled");
            std::fflush(log_stream_);
        }
        if (heard && !silent_ && !(chaos_ && chaos_->loses_host_byte(bytes[i], transfer_.has_value())))
            handle_byte(bytes[i]);
    }
}

void camera_sim::handle_byte(std::uint8_t byte) {
    if (transfer_) {
        if (byte == BLOCK_OK) {
            transfer& t = *transfer_;
            ++t.next_block;
            t.attempt = 0;
            if (t.next_block * t.block_size >= t.payload.size()) {
                const bool completion_missing =
                    faults_.no_completion || (t.transfer_number != 0 && t.transfer_number == faults_.missing_completion);
                transfer_.reset();
                if (!completion_missing && !(chaos_ && chaos_->drops_completion())) emit_byte(COMPLETION);
            } else {
                send_current_block();
            }
            return;
        }
        if (byte == BLOCK_RESEND) {
            ++transfer_->attempt;
            send_current_block();
            return;
        }
        // Anything else: the host has given up on the transfer.
        transfer_.reset();
    }
    command_.push_back(byte);
    if (command_.size() < COMMAND_LENGTH) return;
    if (command_[COMMAND_LENGTH - 1] != COMMAND_END) {
        // Out of step: slide along until a command's shape lines up.
        command_.erase(command_.begin());
        return;
    }
    // Everything the command makes the camera send is timed from the moment
    // it was heard: the time spent making up a long answer (a whole picture)
    // is the simulator's, not the camera's, and must not open a gap that an
    // adapter's latency timer would fall into.
    answering_since_ = std::chrono::steady_clock::now();
    handle_command();
    answering_since_.reset();
    command_.clear();
}

void camera_sim::handle_command() {
    ++command_count_;
    commands_.push_back({command_, host_speed()});
    if (faults_.silent_from_command != 0 && command_count_ >= faults_.silent_from_command) {
        silent_ = true;
        return;
    }
    if (chaos_) {
        std::uint8_t wrong_ack = 0;
        const chaos::command_fate fate = chaos_->fate_of_command(wrong_ack);
        if (fate == chaos::command_fate::ignore) return;
        if (fate == chaos::command_fate::wrong_ack) {
            emit_byte(wrong_ack);
            return;
        }
        hold_back(chaos_->late_ms());
    }
    const std::uint8_t op = command_[0];
    if (static_cast<int>(op) != faults_.unacknowledged_opcode) emit_byte(faults_.ack_byte);
    if (chaos_ && (op == OP_SNAP || op == OP_ERASE || op == OP_RESOLUTION)) {
        const std::vector<std::uint8_t> stray = chaos_->chatter();
        if (!stray.empty()) emit(stray.data(), stray.size());
    }
    const std::size_t count = camera_.pictures.size();
    const std::size_t number = command_[3];
    switch (op) {
        case OP_INIT:
            for (const speed_code& c : SPEED_CODES)
                if (c.hi == command_[2] && c.lo == command_[3]) speed_ = c.speed;
            break;
        case OP_STATUS: {
            const auto block = status_block(camera_);
            start_transfer(std::vector<std::uint8_t>(block.begin(), block.end()), INFO_BLOCK, op);
            break;
        }
        case OP_PICTURE_INFO:
            if (number >= 1 && number <= count) {
                const auto block = picture_info_block(camera_.pictures[number - 1]);
                start_transfer(std::vector<std::uint8_t>(block.begin(), block.end()), INFO_BLOCK, op);
            }
            break;
        case OP_THUMBNAIL:
            if (number >= 1 && number <= count) start_transfer(thumbnail_data(camera_.pictures[number - 1]), PICTURE_BLOCK, op);
            break;
        case OP_GET_PICTURE:
            if (number >= 1 && number <= count) start_transfer(picture_data(camera_.pictures[number - 1]), PICTURE_BLOCK, op);
            break;
        case OP_SNAP:
        case OP_ERASE: {
            const bool snap = op == OP_SNAP;
            done_fault& fault = snap ? faults_.snap_done : faults_.erase_done;
            if (fault == done_fault::never) break;
            if (fault == done_fault::hang_up) {
                fault = done_fault::none;
                hangup_pending_ = true;
                break;
            }
            const int delay = fault == done_fault::early ? EARLY_DONE_MS : snap ? camera_.snap_delay_ms : camera_.erase_delay_ms;
            // The camera starts on the work once its answer is out.
            done_ = pending_done{answer_sent_at() + std::chrono::milliseconds(delay), snap};
            break;
        }
        case OP_RESOLUTION:
            camera_.resolution = command_[2] == 1 ? 1 : 0;
            if (!faults_.no_completion && !(chaos_ && chaos_->drops_completion())) emit_byte(COMPLETION);
            break;
        default:
            break;
    }
}

void camera_sim::finish_done(const pending_done& done) {
    if (done.is_snap) {
        store_picture();
    } else {
        camera_.pictures_free += static_cast<int>(camera_.pictures.size());
        camera_.pictures.clear();
    }
    if (silent_ || (chaos_ && chaos_->drops_done())) return;
    // A camera still busy may say so with other bytes first; each one costs
    // the host a try of its wait.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(faults_.busy_before_done > 0 ? faults_.busy_before_done : 0),
                                    BUSY_BYTE);
    bytes.push_back(DONE_BYTE);
    emit(bytes.data(), bytes.size());
}

void camera_sim::start_transfer(std::vector<std::uint8_t> payload, std::size_t block_size, std::uint8_t opcode) {
    transfer t;
    t.payload = std::move(payload);
    t.block_size = block_size;
    t.in_fault_scope = faults_.fault_opcode < 0 || faults_.fault_opcode == opcode;
    if (t.in_fault_scope) t.transfer_number = ++fault_transfer_count_;
    transfer_ = std::move(t);
    send_current_block();
}

void camera_sim::send_current_block() {
    transfer& t = *transfer_;
    if (t.attempt == 0) {
        ++block_count_;
        t.block_number = t.in_fault_scope ? ++fault_block_count_ : 0;
    }
    std::vector<std::uint8_t> block(t.payload.begin() + static_cast<std::ptrdiff_t>(t.next_block * t.block_size),
                                    t.payload.begin() + static_cast<std::ptrdiff_t>((t.next_block + 1) * t.block_size));
    block.push_back(xor_of(block.data(), block.size()));
    const bool faulty = t.block_number != 0;
    if (faulty && t.block_number == faults_.hangup_block && t.attempt == 0) {
        transfer_.reset();
        hangup_pending_ = true;
        return;
    }
    if (faulty && t.block_number == faults_.bad_block && t.attempt < faults_.bad_block_attempts) block.back() ^= 0x5A;
    if (faulty && t.block_number == faults_.cut_block && t.attempt < faults_.cut_block_attempts) {
        block.resize(static_cast<std::size_t>(faults_.cut_after) < block.size() ? static_cast<std::size_t>(faults_.cut_after)
                                                                                  : block.size());
        emit(block.data(), block.size());
        if (faults_.silent_after_cut) silent_ = true;
        return;
    }
    if (chaos_) {
        chaos_->mangle_block(block);
        hold_back(chaos_->late_ms());
    }
    if (!block.empty()) emit(block.data(), block.size());
}

// An answer the chaos holds back (never as long as the host's timeout).
void camera_sim::hold_back(int ms) {
    if (ms <= 0) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    if (until > hold_until_) hold_until_ = until;
}

// When the last byte decided so far leaves the camera.
std::chrono::steady_clock::time_point camera_sim::answer_sent_at() const {
    const auto now = std::chrono::steady_clock::now();
    return std::max({now, hold_until_, pacing_.paced ? line_free_ : now});
}

void camera_sim::emit(const std::uint8_t* bytes, std::size_t count) {
    if (!sent_.empty() && sent_.back().line_speed == speed_)
        sent_.back().bytes += count;
    else
        sent_.push_back({speed_, count});
    using clock = std::chrono::steady_clock;
    auto start = std::max(answering_since_.value_or(clock::now()), hold_until_);
    if (!pacing_.paced) {
        outbox_.push_back({start, std::vector<std::uint8_t>(bytes, bytes + count)});
        return;
    }
    // A real port delivers bytes at the line's rate, in bursts of up to a
    // FIFO's worth, each when its last byte would have arrived. The camera
    // starts once it has heard what it answers and thought about it, and
    // once its own previous bytes are out.
    const auto camera_byte_time = byte_time(speed_);
    start = std::max({start, heard_at_ + std::chrono::microseconds(pacing_.latency_us), line_free_});
    if (pacing_.adapter.present) {
        for (std::size_t i = 0; i < count; ++i) through_adapter(bytes[i], start + camera_byte_time * static_cast<long>(i + 1));
    } else {
        for (std::size_t done = 0; done < count;) {
            const std::size_t burst = std::min(count - done, FIFO_BYTES);
            outbox_.push_back({start + camera_byte_time * static_cast<long>(done + burst),
                               std::vector<std::uint8_t>(bytes + done, bytes + done + burst)});
            done += burst;
        }
    }
    line_free_ = start + camera_byte_time * static_cast<long>(count);
}

// One byte reaches the adapter at arrival: it joins the packet that is
// waiting for the latency timer, or starts the next one.
void camera_sim::through_adapter(std::uint8_t byte, std::chrono::steady_clock::time_point arrival) {
    const adapter_config& a = pacing_.adapter;
    const bool joins = !outbox_.empty() && outbox_.back().waiting_for_timer && arrival <= outbox_.back().due;
    if (!joins) {
        outgoing packet;
        packet.due = arrival + std::chrono::milliseconds(a.latency_ms);
        packet.waiting_for_timer = true;
        outbox_.push_back(std::move(packet));
    }
    outgoing& packet = outbox_.back();
    packet.bytes.push_back(byte);
    packet.last_arrival = arrival;
    if (packet.bytes.size() >= a.packet_bytes) {
        // Full: it goes at once.
        packet.due = arrival;
        packet.waiting_for_timer = false;
    }
}

}  // namespace lumicord::sim
