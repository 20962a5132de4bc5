#include "sim/state_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "sim/memory_layout.h"
#include "tests/support/temp_folder.h"

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

TEST(StateFile, SavedStateLoadsBackAndReplacesTheOldFileWithoutLeftovers) {
  const vestrim::testing::TempFolder folder;
  const fs::path path = folder.path() / "device.state";
  EXPECT_EQ(loadState(path).status, StateLoadStatus::Missing);  // not an error
  ASSERT_EQ(saveState(Memory(4096), path), std::nullopt);
  const Memory memory = someContents();
  ASSERT_EQ(saveState(memory, path), std::nullopt);
  const StateLoad loaded = loadState(path);
  ASSERT_EQ(loaded.status, StateLoadStatus::Loaded) << loaded.error;
  EXPECT_EQ(*loaded.memory, memory);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

  const StateLoad corrupt = loadState(folder.write("corrupt.state", "this is not a state file"));
  EXPECT_EQ(corrupt.status, StateLoadStatus::Failed);
  EXPECT_THAT(corrupt.error, HasSubstr("corrupt.state"));
  const auto error = saveState(Memory(4096), folder.path() / "no" / "such" / "device.state");
  ASSERT_TRUE(error.has_value());
  EXPECT_THAT(*error, HasSubstr("cannot create"));
}

}  // namespace
}  // namespace devsim
