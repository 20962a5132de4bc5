#pragma once

#include <optional>
#include <string>

namespace vestrim::platform {

enum class StopBits { One, OneAndHalf, Two };

// The line settings of a serial port, as "57600,N,8,1" writes them.
struct SerialSettings {
  int baud = 0;
  char parity = 'N';  // N, E, O, M or S
  int dataBits = 8;   // 5 to 8
  StopBits stopBits = StopBits::One;
};

// Parses "baud,parity,data bits,stop bits": parity N, E, O, M or S in either
// case (the first letter counts), stop bits 1, 1.5 or 2. Nothing for a text
// that is not one.
std::optional<SerialSettings> parseSerialSettings(const std::string& text);

// The baud rate of "57600,N,8,1"; 0 for a text that is not one.
int baudOfSettings(const std::string& settings);

}  // namespace vestrim::platform
