#pragma once

#include <cstdint>

#include "platform/bytes.h"

namespace vestrim::link {

// The request fields a builder sets before the frame is made.
struct Request {
  bool RequestIsRead = true;
  std::uint8_t CommandCode = 0;    // device area, without the write bit
  std::int16_t RequestLength = 0;  // N: bytes read or written
  std::uint8_t BankByte = 0;       // always 0
  std::uint32_t RequestAddress = 0;
  std::int32_t BlockIndex = 0;  // block of a transfer; data = that block of the buffer
  Bytes data;                   // writes only: the N bytes written
};

}  // namespace vestrim::link
