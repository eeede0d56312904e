// What a Windows error on the serial port means for the line. Windows tells
// a pulled USB adapter, a port held by another program and a port that is
// not there only by the error code, and which codes a driver uses varies:
// the table decides, on any system, so that it can be tested anywhere.
#pragma once

namespace lumicord::camlink {

enum class line_call {
    open,      // CreateFile on the device
    transfer,  // ReadFile, WriteFile and the settings on an open port
};

enum class line_outcome {
    lost,    // the device went away: the lost line, waited for
    in_use,  // another program holds the port
    absent,  // no such port (the listing may help)
    failed,  // anything else: reported as the system words it
};

// error is the value of GetLastError after call failed.
line_outcome line_outcome_of(unsigned long error, line_call call);

}  // namespace lumicord::camlink
