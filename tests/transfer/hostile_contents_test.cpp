// Device contents made to break the program: every record it saves stays
// inside the archive, and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <optional>

#include "programmer_rig.h"
#include "record/cycle_file.h"
#include "transfer/upload.h"

namespace vestrim::transfer {
namespace {

struct Saved {
  std::vector<std::filesystem::path> files;
  std::optional<SaveOutcome> outcome;
};

Saved connectAndSave(testing::ProgrammerRig& rig) {
  Saved saved;
  Upload upload{rig.programmer, rig.shell};
  upload.setFileSealedHandler(
      [&](const std::filesystem::path& file) { saved.files.push_back(file); });
  upload.setFinishedHandler([&](const SaveOutcome& result) { saved.outcome = result; });
  rig.connectAndSettle();
  upload.Save();
  rig.scheduler.runUntil([&] { return saved.outcome.has_value(); }, 3600000);
  return saved;
}

TEST(HostileContents, NamesAndProgramTextsNeverLeaveTheArchiveNorHideInIt) {
  const std::string texts[] = {"../../../etc/passwd",
                               "..\\..\\x",
                               "/abs/x",
                               ".HIDDEN",
                               "..",
                               "a\x01\x1F\x7F b",
                               std::string(20, '\xFF'),
                               "\x81\x8D\x8F\x90\x9D",
                               "C:x*?\"<>|",
                               "....",
                               std::string(20, '\0')};
  testing::ProgrammerRig rig;
  std::uint32_t number = 0;
  for (const std::string& text : texts) {
    rig.append(text.substr(0, 16), 0x50, ++number, text, 300);
  }
  const Saved saved = connectAndSave(rig);
  ASSERT_TRUE(saved.outcome.has_value());
  EXPECT_EQ(saved.files.size(), std::size(texts));
  const std::filesystem::path month = rig.folder.path() / "2026" / "12";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(rig.folder.path())) {
    if (!entry.is_regular_file() || entry.path().extension() != ".dtl") {
      continue;
    }
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    EXPECT_EQ(entry.path().parent_path(), month);
    EXPECT_NE(name.front(), '.');
    for (std::size_t i = 0; i < name.size(); ++i) {
      const auto byte = static_cast<unsigned char>(name[i]);
      EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << i;
      // No C1 control: UTF-8 C2 80 .. C2 9F.
      EXPECT_FALSE(byte == 0xC2 && i + 1 < name.size() &&
                   static_cast<unsigned char>(name[i + 1]) < 0xA0);
    }
    EXPECT_EQ(record::LeggiFile(entry.path()).status, record::CycleFileStatus::Cycle);
  }
}

// Two good files, then a third whose next pointer is set as each case says.
TEST(HostileContents, ChainsThatLoopOrRunPastTheMemoryEndKeepTheGoodFilesAndEnd) {
  constexpr std::uint32_t kFlash = devsim::Memory::kDefaultFlashSize;
  const struct {
    const char* what;
    std::uint32_t (*next)(std::uint32_t first, std::uint32_t third);
    std::uint32_t reportedSize;
  } cases[] = {
      {"back to the first", [](std::uint32_t first, std::uint32_t) { return first; }, kFlash},
      {"back into the second", [](std::uint32_t, std::uint32_t third) { return third - 100; },
       kFlash},
      {"one past the memory end", [](std::uint32_t, std::uint32_t) { return kFlash + 1; }, kFlash},
      // A device that claims 4 GiB: a file of nearly that much is no device file.
      {"far past the flash", [](std::uint32_t, std::uint32_t) { return 0xF0000000u; }, 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ProgrammerRig rig;
    rig.memory().setReportedSize(c.reportedSize);
    const std::uint32_t first = rig.append("DLCYCLE00000001", 0x50, 1, "ONE", 300, 1);
    rig.append("DLCYCLE00000002", 0x50, 2, "TWO", 300, 2);
    const std::uint32_t third = rig.append("DLCYCLE00000003", 0x50, 3, "THREE", 300, 3);
    rig.setNext(third, c.next(first, third));
    const Saved saved = connectAndSave(rig);
    ASSERT_TRUE(saved.outcome.has_value());
    EXPECT_EQ(saved.outcome->kind, SaveOutcome::Kind::Finished);
    EXPECT_EQ(saved.files.size(), 2u);
    EXPECT_EQ(rig.prompts.countOf("Program error.\nDo you want to erase flash?"), 0);
    EXPECT_EQ(rig.memory().read(devsim::Area::Flash, first + 48, 1).front(), 0x50);
  }
}

}  // namespace
}  // namespace vestrim::transfer
