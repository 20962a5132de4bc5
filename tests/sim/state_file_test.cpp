#include "sim/state_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/memory_layout.h"

namespace devsim {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

Memory someContents() {
  Memory memory(8192);
  layout::formatFreshDevice(memory);
  layout::appendFile(memory, {.fileCode = "A1", .fileType = 0x50, .fileName = "RUN"},
                     Bytes(300, 0x42));
  layout::setDownloadCounter(memory, 3, 77);
  memory.write(Area::Register, 110, Bytes{0x02});
  return memory;
}

TEST(StateFile, EncodedMemoryDecodesToTheSameMemory) {
  const Memory memory = someContents();
  const DecodedState decoded = decodeState(encodeState(memory));
  ASSERT_TRUE(decoded.memory.has_value()) << decoded.error;
  EXPECT_EQ(*decoded.memory, memory);
}

TEST(StateFile, EachKindOfDamageIsRefusedWithAReason) {
  const Bytes good = encodeState(someContents());
  struct Damage {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
    const char* reason;
  };
  const Damage damages[] = {
      {"magic", 0, 'X', "not a device state file"},
      {"version", 8, 2, "version 2"},
      {"flash size", 15, 0x40, "implausible"},
      {"flash byte", 24 + 256 + 4096 + 5000, 0x00, "damaged"},
      {"hash", good.size() - 1, 0x00, "damaged"},
  };
  for (const Damage& d : damages) {
    Bytes bad = good;
    bad[d.offset] = d.value == bad[d.offset] ? static_cast<std::uint8_t>(~d.value) : d.value;
    const DecodedState decoded = decodeState(bad);
    EXPECT_FALSE(decoded.memory.has_value()) << d.what;
    EXPECT_THAT(decoded.error, HasSubstr(d.reason)) << d.what;
  }
  const DecodedState truncated = decodeState(std::span(good).first(good.size() - 100));
  EXPECT_THAT(truncated.error, HasSubstr("truncated"));
  EXPECT_THAT(decodeState(Bytes{}).error, HasSubstr("not a device state file"));
}

}  // namespace
}  // namespace devsim
