// What a Windows error on the serial port means for the line: the table
// that stands where wine cannot show a real adapter's removal or a port
// held by another program.
#include "link/line_outcome.h"

#include <gtest/gtest.h>

namespace lumicord::camlink {
namespace {

struct outcome_case {
    unsigned long error;
    line_call call;
    line_outcome outcome;
};

constexpr outcome_case OUTCOME_CASES[] = {
    // Opening: access denied is the port held by another program.
    {5, line_call::open, line_outcome::in_use},     // ERROR_ACCESS_DENIED
    {32, line_call::open, line_outcome::in_use},    // ERROR_SHARING_VIOLATION
    {2, line_call::open, line_outcome::absent},     // ERROR_FILE_NOT_FOUND
    {3, line_call::open, line_outcome::absent},     // ERROR_PATH_NOT_FOUND
    {55, line_call::open, line_outcome::absent},    // ERROR_DEV_NOT_EXIST
    {87, line_call::open, line_outcome::failed},    // ERROR_INVALID_PARAMETER
    {1167, line_call::open, line_outcome::failed},  // not connected: not yet a line to lose
    // On an open port: every word for a device pulled out is the lost line.
    {5, line_call::transfer, line_outcome::lost},
    {6, line_call::transfer, line_outcome::lost},     // ERROR_INVALID_HANDLE
    {21, line_call::transfer, line_outcome::lost},    // ERROR_NOT_READY (wine, once the pty's other side closed)
    {22, line_call::transfer, line_outcome::lost},    // ERROR_BAD_COMMAND
    {31, line_call::transfer, line_outcome::lost},    // ERROR_GEN_FAILURE
    {433, line_call::transfer, line_outcome::lost},   // ERROR_NO_SUCH_DEVICE
    {995, line_call::transfer, line_outcome::lost},   // ERROR_OPERATION_ABORTED
    {1167, line_call::transfer, line_outcome::lost},  // ERROR_DEVICE_NOT_CONNECTED
    {1617, line_call::transfer, line_outcome::lost},  // ERROR_DEVICE_REMOVED
    {87, line_call::transfer, line_outcome::failed},
    {1117, line_call::transfer, line_outcome::failed},  // ERROR_IO_DEVICE: reported, not waited for
    {0, line_call::transfer, line_outcome::failed},
};

TEST(line_outcome_test, each_error_in_each_call) {
    for (const outcome_case& c : OUTCOME_CASES)
        EXPECT_EQ(line_outcome_of(c.error, c.call), c.outcome)
            << "error " << c.error << (c.call == line_call::open ? " at the open" : " in a transfer");
}

}  // namespace
}  // namespace lumicord::camlink
