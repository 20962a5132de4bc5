// Arbitrary bytes as the settings file: read, and when it reads, written
// back and read again to the same values.
#include <cstdlib>

#include "fuzz_files.h"
#include "shell/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vestrim::shell;
  const auto& folder = vestrim::fuzz::scratchFolder();
  vestrim::fuzz::inputFile(data, size, kSettingsFileName);
  const auto read = readSettingsFile(folder);
  if (read && writeSettingsFile(folder, *read)) {
    const auto again = readSettingsFile(folder);
    if (!again || !(*again == *read)) {
      std::abort();  // what the program writes it must read back
    }
  }
  return 0;
}
