// The --ports records from what Windows' registry says of its serial
// ports, as rules on text alone so that they can be tested anywhere: the
// serial-port map (HARDWARE\DEVICEMAP\SERIALCOMM) names every port present,
// and a USB adapter's key below SYSTEM\CurrentControlSet\Enum adds the
// name Windows gives it, its driver and its IDs.
#pragma once

#include "link/serial_ports.h"

namespace lumicord::camlink {

// One value of the serial-port map: its name, the driver's device
// ("\Device\VCP0"), and its data, the port's name ("COM3").
serial_port port_from_map_entry(const char* value_name, const char* port_name);

// What a device's own key adds: its instance ID
// ("USB\VID_0403&PID_6001\A10KZP5J", "FTDIBUS\VID_0403+PID_6001+A10KZP5JA\0000"),
// its FriendlyName ("USB Serial Port (COM3)") and its Service (the driver).
// A USB device's serial number is its instance's own part where it gave
// one; Windows makes up one with "&" in it for a device that has none.
void add_device_words(serial_port& port, const char* instance_id, const char* friendly_name, const char* service);

// Ports by their number: COM2 before COM10.
void sort_by_port_number(serial_port_list& list);

}  // namespace lumicord::camlink
