#include <cstddef>
#include <cstdint>

#include "report_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vestrim::fuzz::runReports(data, size);
}
