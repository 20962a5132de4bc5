#include "sim/memory_layout.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace devsim {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

Bytes flash(const Memory& memory, std::uint32_t address, std::size_t length) {
  return memory.read(Area::Flash, address, length);
}

TEST(MemoryLayout, AppendedFilesAreChainedAndMoveTheFirstFreeLocation) {
  Memory memory;
  layout::formatFreshDevice(memory);
  const std::uint32_t first = layout::appendFile(memory,
                                                 {.fileCode = "CODE-1",
                                                  .fileType = 0x50,
                                                  .fileNumber = 12345,
                                                  .fileName = "PROGRAM A",
                                                  .hour = 14,
                                                  .minute = 5,
                                                  .day = 31,
                                                  .month = 12,
                                                  .year = 24},
                                                 Bytes(1000, 0x11));
  const std::uint32_t second =
      layout::appendFile(memory, {.fileType = 0x05, .fileNumber = 1'000'000}, Bytes(10, 0x22));

  EXPECT_EQ(first, 2152u);
  EXPECT_EQ(second, 2152u + 166 + 1000);
  const std::uint32_t end = second + 166 + 10;
  EXPECT_THAT(layout::chainAddresses(memory), ElementsAre(first, second));
  EXPECT_EQ(layout::firstFreeLocation(memory), end);

  EXPECT_THAT(flash(memory, first + 32, 8), ElementsAre('C', 'O', 'D', 'E', '-', '1', 0, 0));
  EXPECT_EQ(memory.at(Area::Flash, first + 48), 0x50);
  EXPECT_THAT(flash(memory, first + 50, 4), ElementsAre(0x00, 0x00, 0x0C, 0xF6));
  EXPECT_THAT(flash(memory, first + 54, 4), ElementsAre(0xFF, 0xFF, 0xFF, 0xFF));
  EXPECT_THAT(flash(memory, first + 59, 3), ElementsAre(0x39, 0x30, 0x00));
  EXPECT_THAT(flash(memory, first + 112, 4), Each(' '));
  EXPECT_THAT(flash(memory, first + 140, 5), ElementsAre(14, 5, 31, 12, 24));
  EXPECT_EQ(memory.at(Area::Flash, first + 166), 0x11);

  EXPECT_THAT(flash(memory, second + 54, 4), ElementsAre(0x00, 0x00, 0x08, 0x68));
  EXPECT_THAT(flash(memory, second + 59, 3), ElementsAre(0x40, 0x42, 0x0F));
  // The erased header after the last file ends the chain.
  EXPECT_EQ(memory.at(Area::Flash, end + 50), 0xFF);
}

TEST(MemoryLayout, FileThatDoesNotFitIsRefusedAndNothingIsWritten) {
  Memory memory(4096);
  layout::formatFreshDevice(memory);
  const Memory before = memory;
  EXPECT_THROW(layout::appendFile(memory, {.fileType = 0x50}, Bytes(4096 - 2152 - 165, 0)),
               std::length_error);
  EXPECT_EQ(memory, before);
  EXPECT_EQ(layout::appendFile(memory, {.fileType = 0x50}, Bytes(4096 - 2152 - 166, 0)), 2152u);
  EXPECT_EQ(layout::firstFreeLocation(memory), 4096u);
}

}  // namespace
}  // namespace devsim
