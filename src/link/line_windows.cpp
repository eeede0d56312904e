#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/windows_text.h"
#include "link/baud.h"
#include "link/com_port_names.h"
#include "link/line.h"
#include "link/line_outcome.h"
#include "link/line_records_guard.h"
#include "link/port_listing.h"
#include "link/stop_request.h"

namespace lumicord::camlink {

namespace {

constexpr DWORD READ_TIMEOUT_MS = 1500;
// A write never waits for a modem line (there is no flow control); the
// limit only keeps a driver that stalls from holding the program for ever.
constexpr DWORD WRITE_TIMEOUT_MS = 1500;

// What the port had when the program first opened it, put back at every
// way out however often the line went and came back.
struct device_own_record {
    const char* name = nullptr;  // as the user named it or the port table gave it
    DCB settings{};
    COMMTIMEOUTS timeouts{};
    bool settings_valid = false;
    bool timeouts_valid = false;
};

// What one open holds.
struct open_record {
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The device went away under us (see line_lost). Atomic: the stop
    // handler reads it, and it changes outside the records' flag.
    std::atomic<bool> gone{false};
};

device_own_record device_own;
open_record line_now;
DCB working{};  // built by the program, not read from the device

// 8 data bits, even parity, 1 stop bit; no flow control and no handshake
// on the modem lines, which are raised and left so, as a Unix open leaves
// them. A parity error delivers the byte as it came, and no error stops
// the port's transfers until it is cleared.
DCB build_working_settings() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = CBR_9600;
    dcb.fBinary = TRUE;
    dcb.fParity = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = ONESTOPBIT;
    return dcb;
}

// Every read waits at most the line's 1.5 s for its first byte; the read
// that follows takes only what has already arrived (see read_line).
COMMTIMEOUTS build_timeouts() {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 0;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = READ_TIMEOUT_MS;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = WRITE_TIMEOUT_MS;
    return t;
}

// The working settings, all of them or none: a port that cannot take even
// parity is no line for the camera.
bool apply_settings(HANDLE port, const DCB& wanted) {
    DCB applied = wanted;
    return SetCommState(port, &applied) != 0;
}

// A failed call on the open port: a device that went away makes the line
// lost, quietly (the front end says it once); anything else is reported.
void report_line_failure(const char* failed_call) {
    const DWORD error = GetLastError();
    if (line_outcome_of(error, line_call::transfer) == line_outcome::lost) {
        line_now.gone = true;
        return;
    }
    report_windows_error(failed_call, error);
}

// Why a set-up failed: the call and its error.
struct set_up_failure {
    const char* failed_call = nullptr;
    DWORD error = 0;
};

// Opens the port and makes it the line at 9600 baud; on failure the port is
// left as it was and closed. Only the first open takes the port's own
// settings.
set_up_failure set_up_line(const char* name, bool first) {
    const windows_device_path path = windows_path_for(name);
    // Windows opens a serial port for one program at a time: no lock needed.
    owned_handle port(CreateFileW(wide_name(path.data()).data(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!port) return {"open", GetLastError()};
    DCB found{};
    found.DCBlength = sizeof found;
    const bool found_valid = GetCommState(port.get(), &found) != 0;
    COMMTIMEOUTS found_timeouts{};
    const bool timeouts_valid = GetCommTimeouts(port.get(), &found_timeouts) != 0;
    const DCB wanted = build_working_settings();
    COMMTIMEOUTS timeouts = build_timeouts();
    const auto give_back = [&](const char* failed_call) {
        const DWORD error = GetLastError();
        if (found_valid) SetCommState(port.get(), &found);
        if (timeouts_valid) SetCommTimeouts(port.get(), &found_timeouts);
        return set_up_failure{failed_call, error};
    };
    if (!apply_settings(port.get(), wanted)) return give_back("SetCommState");
    if (!SetCommTimeouts(port.get(), &timeouts)) return give_back("SetCommTimeouts");
    // What an earlier run left unread (the rest of a block, when it was
    // killed mid-transfer) is no answer to anything we will ask.
    PurgeComm(port.get(), PURGE_RXCLEAR);
    begin_records_change();
    if (first) {
        device_own.settings = found;
        device_own.settings_valid = found_valid;
        device_own.timeouts = found_timeouts;
        device_own.timeouts_valid = timeouts_valid;
    }
    working = wanted;
    line_now.gone = false;
    line_now.handle = port.release();
    end_records_change();
    return {};
}

[[noreturn]] void fail_open(const char* name, DWORD error) {
    const line_outcome outcome = line_outcome_of(error, line_call::open);
    if (outcome == line_outcome::in_use)
        std::fprintf(stderr, "%s is in use by another program.\n", name);
    else
        report_windows_error("open", error);
    std::fprintf(stderr, "Could not open %s for read/write.\n", name);
    if (outcome == line_outcome::absent) hint_serial_ports(name);
    std::exit(-1);
}

[[noreturn]] void fail_setup(const char* name, const set_up_failure& failure) {
    report_windows_error(failure.failed_call, failure.error);
    std::fprintf(stderr, "Could not init %s for camera access.\n", name);
    std::exit(-1);
}

void put_device_back() {
    const HANDLE handle = line_now.handle;
    if (handle == INVALID_HANDLE_VALUE || line_now.gone) return;
    if (device_own.settings_valid) {
        DCB settings = device_own.settings;
        SetCommState(handle, &settings);
    }
    if (device_own.timeouts_valid) {
        COMMTIMEOUTS timeouts = device_own.timeouts;
        SetCommTimeouts(handle, &timeouts);
    }
}

// The bytes the port has received and not yet handed over; 0 when it
// cannot say. A port whose device went away fails here, even where its
// reads only time out: the line is then lost.
DWORD bytes_waiting() {
    COMSTAT status{};
    DWORD errors = 0;
    if (ClearCommError(line_now.handle, &errors, &status)) return status.cbInQue;
    if (line_outcome_of(GetLastError(), line_call::transfer) == line_outcome::lost) line_now.gone = true;
    return 0;
}

// One ReadFile: the count read, or -1 after reporting (or marking the line
// lost). A read the user's stop cut short is no failure of the line.
long read_once(std::uint8_t* buffer, DWORD count) {
    DWORD got = 0;
    if (ReadFile(line_now.handle, buffer, count, &got, nullptr)) return static_cast<long>(got);
    if (stop_requested()) return -1;
    report_line_failure("read");
    return line_now.gone ? 0 : -1;
}

}  // namespace

void open_line(const char* device, long baud) {
    begin_records_change();
    device_own = device_own_record{};
    device_own.name = device;
    end_records_change();
    const set_up_failure failure = set_up_line(device, true);
    if (failure.failed_call != nullptr) {
        if (std::strcmp(failure.failed_call, "open") == 0) fail_open(device, failure.error);
        fail_setup(device, failure);
    }
    set_line_speed(baud);
}

bool reopen_line() {
    if (line_now.handle != INVALID_HANDLE_VALUE || device_own.name == nullptr) return false;
    return set_up_line(device_own.name, false).failed_call == nullptr;
}

bool line_open() { return line_now.handle != INVALID_HANDLE_VALUE; }

bool line_lost() { return line_now.gone; }

// Windows has nothing to wait on for a hang-up: the console's input asks
// line_hung_up now and then instead.
int line_hangup_descriptor() { return -1; }

// A pulled adapter fails the cheapest call on the port.
bool line_hung_up() {
    if (line_now.handle == INVALID_HANDLE_VALUE || line_now.gone) return line_now.gone;
    bytes_waiting();
    return line_now.gone;
}

void set_line_speed(long baud) {
    working.BaudRate = static_cast<DWORD>(line_speed_for(baud));
    if (line_now.gone || line_now.handle == INVALID_HANDLE_VALUE) return;
    if (!apply_settings(line_now.handle, working)) report_line_failure("SetCommState");
}

void restore_device() {
    if (take_records_for_handler()) put_device_back();
}

void close_line() {
    const HANDLE handle = line_now.handle;
    if (handle == INVALID_HANDLE_VALUE) return;
    put_device_back();
    // Marked closed before the handle goes, so that the stop handler's path
    // to the exit never touches a closed (or reused) handle; the device is
    // already as it was.
    begin_records_change();
    line_now.handle = INVALID_HANDLE_VALUE;
    end_records_change();
    CloseHandle(handle);
}

void send_byte(std::uint8_t byte) {
    if (line_now.gone) return;
    DWORD written = 0;
    const bool done = WriteFile(line_now.handle, &byte, 1, &written, nullptr) != 0;
    if (done && written == 1) return;
    if (stop_requested()) return;
    // A write that timed out reports success with nothing written.
    if (done) SetLastError(ERROR_TIMEOUT);
    report_line_failure("write");
}

long read_line(std::uint8_t* buffer, std::size_t count) {
    if (stop_requested()) return -1;
    if (line_now.gone || count == 0) return 0;
    const DWORD wanted = count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
    // As the line's settings on Unix: the bytes already there at once,
    // else the first byte to come within 1.5 s and whatever came with it.
    DWORD waiting = bytes_waiting();
    if (line_now.gone) return 0;
    if (waiting == 0) {
        const long first = read_once(buffer, 1);
        // Silence may be a device that went away while the read waited:
        // asked now, so that the loss is seen at this read.
        if (first == 0) bytes_waiting();
        if (first <= 0) return first;
        waiting = bytes_waiting();
        if (waiting == 0 || wanted == 1) return 1;
        const long rest = read_once(buffer + 1, waiting < wanted - 1 ? waiting : wanted - 1);
        return rest < 0 ? 1 : 1 + rest;
    }
    return read_once(buffer, waiting < wanted ? waiting : wanted);
}

}  // namespace lumicord::camlink
