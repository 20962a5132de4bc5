#pragma once

#include <cstddef>
#include <cstdint>

namespace vestrim::fuzz {

// Treats `data` as a stored cycle file and runs everything that reads one:
// the stored-file reader, the report window's choice and switch, every
// report builder on the file's bytes whether or not seal and check sum
// hold, and the print layout of each report. Aborts when a report breaks
// its own contract (lines and "File error" together); memory faults are
// the sanitizers' to find. Returns 0, as libFuzzer expects.
int runReports(const std::uint8_t* data, std::size_t size);

}  // namespace vestrim::fuzz
