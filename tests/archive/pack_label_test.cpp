// Pack codes, storage days and the labels of released cycles, over archives
// sealed as a save seals them.
#include "archive/pack_label.h"

#include <gtest/gtest.h>

#include <fstream>

#include "archive/journal.h"
#include "archive/release.h"
#include "archive/stored_cycle.h"
#include "sealed_cycles.h"
#include "shell/safe_file.h"
#include "shell/settings_file.h"
#include "temp_folder.h"

namespace vestrim::archive {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string below(const fs::path& program, const fs::path& file) {
  return file.lexically_relative(program).generic_string();
}

std::string shaOf(const fs::path& file) {
  const Bytes bytes = *shell::readWholeFile(file);
  return sha256Hex(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

void changeByte(const fs::path& file) {
  Bytes bytes = *shell::readWholeFile(file);
  bytes[200] ^= 0x01;
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void record(const fs::path& program, const fs::path& file, ReleaseResult result) {
  std::string error;
  ReleaseRequest request{below(program, file), "AB", "Anna Rossi", result, Indicator::Passed, ""};
  ASSERT_TRUE(recordRelease(program, request, error)) << error;
}

TEST(PackCode, TextAndParsing) {
  EXPECT_EQ(packCode("  SN 0042 ", 1571, "5DD915A0C0FFEE"), "VST1:SN 0042:1571:5dd915a0");
  EXPECT_EQ(packCode("28392570", 0, "0123456789abcdef"), "VST1:28392570:0:01234567");

  const std::optional<PackCodeParts> none;
  const struct {
    const char* text;
    std::optional<PackCodeParts> parts;
  } cases[] = {
      {"VST1:28392570:1571:5dd915a0", PackCodeParts{"28392570", 1571, "5dd915a0"}},
      {"VST1:28392570:1571:5DD915A0\r\n", PackCodeParts{"28392570", 1571, "5dd915a0"}},
      {"VST1:SN 42:7:abcdef01  \n", PackCodeParts{"SN 42", 7, "abcdef01"}},
      {"VST1:A:B:123456789:00000000", PackCodeParts{"A:B", 123456789, "00000000"}},
      {"VST1::0:00000000", PackCodeParts{"", 0, "00000000"}},
      {"VST2:28392570:1571:5dd915a0", none},
      {"vst1:28392570:1571:5dd915a0", none},
      {" VST1:28392570:1571:5dd915a0", none},
      {"VST1:28392570:1571:5dd915a", none},
      {"VST1:28392570:1571:5dd915a0f", none},
      {"VST1:28392570:1571:5dd915g0", none},
      {"VST1:28392570:01571:5dd915a0", none},
      {"VST1:28392570:-1:5dd915a0", none},
      {"VST1:28392570:1234567890:5dd915a0", none},
      {"VST1:28392570::5dd915a0", none},
      {"VST1:1571:5dd915a0", none},
      {"VST1:5dd915a0", none},
      {"VST1:28\t92570:1:5dd915a0", none},
      {"", none},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parsePackCode(c.text), c.parts) << c.text;
  }
  // A code made from a serial with a colon reads back.
  EXPECT_EQ(parsePackCode(packCode("X:1", 3, "ABCDEF0123")), (PackCodeParts{"X:1", 3, "abcdef01"}));
}

TEST(PackLabelDates, ExpiryInTheRealCalendar) {
  const struct {
    int day, month, year, days;
    const char* expiry;
  } cases[] = {
      {7, 3, 2025, 0, "07/03/2025"},   {7, 3, 2025, 180, "03/09/2025"},
      {31, 1, 2025, 30, "02/03/2025"}, {28, 2, 2023, 1, "01/03/2023"},
      {28, 2, 2024, 1, "29/02/2024"},  {29, 2, 2024, 365, "28/02/2025"},
      {31, 12, 2024, 1, "01/01/2025"}, {1, 9, 2025, 180, "28/02/2026"},
      {2, 9, 2027, 180, "29/02/2028"}, {15, 11, 2099, 3650, "13/11/2109"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dayAfter(c.day, c.month, c.year, c.days), c.expiry)
        << c.day << "/" << c.month << "/" << c.year << " + " << c.days;
  }
}

TEST(PackKinds, KeptInTheirSettingsSectionBesideTheThreeLines) {
  TempFolder folder;
  const fs::path program = folder.path();
  EXPECT_EQ(readPackKinds(program), defaultPackKinds());
  EXPECT_EQ(defaultPackKinds().front(), (PackKind{"Pouch", 180}));

  ASSERT_TRUE(shell::settings_writers::languageChosen(program, "/data", "Italiano"));
  const std::vector<PackKind> kinds{{"Busta", 90}, {"Container = steel", 365}};
  std::string error;
  ASSERT_TRUE(writePackKinds(program, kinds, error)) << error;
  EXPECT_EQ(readPackKinds(program), kinds);
  // The three lines stay, and a writer of the three lines keeps the section.
  EXPECT_EQ(shell::readSettingsFile(program)->DefaultLanguage, "Italiano");
  ASSERT_TRUE(shell::settings_writers::openFolderChosen(program, "/other"));
  EXPECT_EQ(readPackKinds(program), kinds);
  EXPECT_EQ(shell::readSettingsFile(program)->DataFolder, "/other");
  EXPECT_EQ(folder.read(shell::kSettingsFileName),
            " 1 \r\n/other\r\nItaliano\r\n[Pack kinds]\r\nBusta=90\r\nContainer = steel=365\r\n");

  // A section edited by hand: lines that are no kind are passed over; a
  // section without any usable kind gives the defaults.
  folder.write(shell::kSettingsFileName,
               " 1 \r\n/d\r\n\r\n[Pack kinds]\r\nPouch=30\r\nno days\r\nBig=0\r\npouch=40\r\n"
               "Tray = 200 \r\n[Other]\r\nX=5\r\n");
  EXPECT_EQ(readPackKinds(program), (std::vector<PackKind>{{"Pouch", 30}, {"Tray", 200}}));
  ASSERT_TRUE(writePackKinds(program, {{"Pouch", 31}}, error)) << error;
  EXPECT_EQ(folder.read(shell::kSettingsFileName),
            " 1 \r\n/d\r\n\r\n[Pack kinds]\r\nPouch=31\r\n[Other]\r\nX=5\r\n");
  folder.write(shell::kSettingsFileName, " 1 \r\n/d\r\n\r\n[Pack kinds]\r\nBig=0\r\n");
  EXPECT_EQ(readPackKinds(program), defaultPackKinds());
}

TEST(PackKinds, RefusedListsAreNotWritten) {
  const struct {
    std::vector<PackKind> kinds;
    const char* problem;  // part of the reason
  } cases[] = {
      {{}, "At least one"},
      {{{"", 10}}, "cannot be used"},
      {{{"[Other]", 10}}, "cannot be used"},
      {{{" Pouch", 10}}, "cannot be used"},
      {{{"Tab\there", 10}}, "cannot be used"},
      {{{std::string(31, 'x'), 10}}, "cannot be used"},
      {{{"Pouch", 10}, {"POUCH", 20}}, "listed twice"},
      {{{"Pouch", 0}}, "from 1 to 3650"},
      {{{"Pouch", 3651}}, "from 1 to 3650"},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(writePackKinds(folder.path(), c.kinds, error));
    EXPECT_NE(error.find(c.problem), std::string::npos) << error;
  }
  EXPECT_FALSE(fs::exists(folder.path() / shell::kSettingsFileName));
  EXPECT_EQ(packKindsProblem({{std::string(30, 'x'), 1}, {"Wrapped", 3650}}), "");
}

TEST(PackLabels, OnlyAReleasedUnchangedCycleGetsALabel) {
  TempFolder folder;
  const fs::path program = folder.path();
  const fs::path file = seal(program, {1571});
  const std::string path = below(program, file);
  std::string error;
  EXPECT_FALSE(packLabelFor(program, path, 180, "Pouch", error));
  EXPECT_NE(error.find("was not released: labels are printed only for released cycles"),
            std::string::npos)
      << error;

  record(program, file, ReleaseResult::Rejected);
  EXPECT_FALSE(packLabelFor(program, path, 180, "Pouch", error));
  EXPECT_NE(error.find("was rejected by AB"), std::string::npos) << error;

  record(program, file, ReleaseResult::Released);
  const std::optional<PackLabel> label = packLabelFor(program, path, 180, "Pouch", error);
  ASSERT_TRUE(label) << error;
  const StoredCycle cycle = *storedCycle(*shell::readWholeFile(file));
  EXPECT_FALSE(cycle.serial.empty());
  EXPECT_EQ(label->serial, cycle.serial);
  EXPECT_EQ(label->program, cycle.program);
  EXPECT_EQ(label->cycleNumber, 1571);
  EXPECT_EQ(label->cycleDate, "07/03/2025");
  EXPECT_EQ(label->expiryDate, "03/09/2025");
  EXPECT_EQ(label->operatorInitials, "AB");
  EXPECT_EQ(label->packKind, "Pouch");
  EXPECT_EQ(label->code, "VST1:" + cycle.serial + ":1571:" + shaOf(file).substr(0, 8));

  changeByte(file);
  EXPECT_FALSE(packLabelFor(program, path, 180, "Pouch", error));
  EXPECT_NE(error.find("changed after its release"), std::string::npos) << error;

  // Not a file of the archive, missing, not a cycle.
  fs::create_directories(program / "2025");
  folder.write("2025/short.dtl", "too short to be a cycle");
  const struct {
    std::string path;
    const char* why;
  } refused[] = {{"../outside.dtl", "is not a stored file of the archive"},
                 {"2025/03/missing.dtl", "cannot be read"},
                 {"2025/short.dtl", "is not a cycle record"}};
  for (const auto& c : refused) {
    EXPECT_FALSE(packLabelFor(program, c.path, 180, "Pouch", error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
}

TEST(PackLabels, FindLeadsFromACodeToItsCycle) {
  TempFolder folder;
  const fs::path program = folder.path();
  const fs::path first = seal(program, {1571});
  const fs::path second = seal(program, {1572, 0, 0, {9, 30, 8, 3, 25}});
  const std::string serial = storedCycle(*shell::readWholeFile(first))->serial;
  const std::string code = packCode(serial, 1572, shaOf(second));

  std::string error;
  PackCodeSearch search = findPackCode(program, code + "\r\n", error);
  EXPECT_EQ(search.outcome, PackCodeFind::Found);
  EXPECT_EQ(search.path, below(program, second));

  search = findPackCode(program, packCode(serial, 1573, shaOf(second)), error);
  EXPECT_EQ(search.outcome, PackCodeFind::NoCycle);
  EXPECT_NE(error.find("No stored cycle 1573 of machine " + serial), std::string::npos) << error;
  search = findPackCode(program, packCode(serial + "X", 1572, shaOf(second)), error);
  EXPECT_EQ(search.outcome, PackCodeFind::NoCycle);

  search = findPackCode(program, "VST1:" + serial + ":1572", error);
  EXPECT_EQ(search.outcome, PackCodeFind::NotACode);
  EXPECT_NE(error.find("is not a pack code"), std::string::npos) << error;

  // An odd archive: a changed copy of the cycle under another name, and the
  // intact file is found; once both differ, the code's cycle is there but
  // changed, and the file named for the cycle is the one named.
  fs::create_directories(program / "2025/01");
  const fs::path copy = program / "2025/01/copy.dtl";
  fs::copy_file(second, copy);
  changeByte(copy);
  search = findPackCode(program, code, error);
  EXPECT_EQ(search.outcome, PackCodeFind::Found);
  EXPECT_EQ(search.path, below(program, second));
  changeByte(second);
  search = findPackCode(program, code, error);
  EXPECT_EQ(search.outcome, PackCodeFind::Changed);
  EXPECT_EQ(search.path, below(program, second));
  EXPECT_NE(error.find("changed after the label was printed"), std::string::npos) << error;
}

}  // namespace
}  // namespace vestrim::archive
