#include "link/line_outcome.h"

#include <array>

namespace lumicord::camlink {

namespace {

// Windows' error codes (winerror.h), by value: this file is built on every
// system.
constexpr unsigned long ERROR_FILE_NOT_FOUND = 2;
constexpr unsigned long ERROR_PATH_NOT_FOUND = 3;
constexpr unsigned long ERROR_ACCESS_DENIED = 5;
constexpr unsigned long ERROR_INVALID_HANDLE = 6;
constexpr unsigned long ERROR_NOT_READY = 21;
constexpr unsigned long ERROR_BAD_COMMAND = 22;
constexpr unsigned long ERROR_GEN_FAILURE = 31;
constexpr unsigned long ERROR_SHARING_VIOLATION = 32;
constexpr unsigned long ERROR_DEV_NOT_EXIST = 55;
constexpr unsigned long ERROR_NO_SUCH_DEVICE = 433;
constexpr unsigned long ERROR_OPERATION_ABORTED = 995;
constexpr unsigned long ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr unsigned long ERROR_DEVICE_REMOVED = 1617;

struct outcome_entry {
    unsigned long error;
    line_outcome outcome;
};

// At the open, "access denied" is the port held by another program: Windows
// opens a serial port for one program at a time.
constexpr std::array<outcome_entry, 5> AT_OPEN = {{
    {ERROR_ACCESS_DENIED, line_outcome::in_use},
    {ERROR_SHARING_VIOLATION, line_outcome::in_use},
    {ERROR_FILE_NOT_FOUND, line_outcome::absent},
    {ERROR_PATH_NOT_FOUND, line_outcome::absent},
    {ERROR_DEV_NOT_EXIST, line_outcome::absent},
}};

// On an open port the same "access denied", and every word a USB-serial
// driver has for a device pulled out, is the line gone. (An abort that the
// program's own stop caused is told apart before this table is asked.)
constexpr std::array<outcome_entry, 11> IN_TRANSFER = {{
    {ERROR_ACCESS_DENIED, line_outcome::lost},
    {ERROR_INVALID_HANDLE, line_outcome::lost},
    {ERROR_NOT_READY, line_outcome::lost},
    {ERROR_BAD_COMMAND, line_outcome::lost},
    {ERROR_GEN_FAILURE, line_outcome::lost},
    {ERROR_FILE_NOT_FOUND, line_outcome::lost},
    {ERROR_DEV_NOT_EXIST, line_outcome::lost},
    {ERROR_NO_SUCH_DEVICE, line_outcome::lost},
    {ERROR_OPERATION_ABORTED, line_outcome::lost},
    {ERROR_DEVICE_NOT_CONNECTED, line_outcome::lost},
    {ERROR_DEVICE_REMOVED, line_outcome::lost},
}};

template <std::size_t N>
line_outcome look_up(const std::array<outcome_entry, N>& table, unsigned long error) {
    for (const outcome_entry& e : table)
        if (e.error == error) return e.outcome;
    return line_outcome::failed;
}

}  // namespace

line_outcome line_outcome_of(unsigned long error, line_call call) {
    return call == line_call::open ? look_up(AT_OPEN, error) : look_up(IN_TRANSFER, error);
}

}  // namespace lumicord::camlink
