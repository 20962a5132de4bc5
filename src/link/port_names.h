#pragma once

#include <string>

// What this system calls its serial ports.
namespace vestrim::link {

// The name of serial port number `number` (1 is the first): "COM1" on
// Windows; on Linux, where ports have no numbers, the number-th serial
// line (/dev/ttyS0 for 1).
std::string numberedPortName(int number);

// True where the port dialog offers COM1 to COM8 (Windows); elsewhere it
// offers the ports found, adapters of the device's family first.
bool dialogOffersNumberedPorts();

}  // namespace vestrim::link
