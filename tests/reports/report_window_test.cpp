#include "reports/report_window.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "report_fixtures.h"
#include "transfer/seal.h"

namespace vestrim::reports {
namespace {

using testing::english;
using testing::kDots;
using testing::Record;

record::CycleFile cycleFile(const Record& record) {
  record::CycleFile file;
  file.status = record::CycleFileStatus::Cycle;
  file.DeviceHeader = record.DeviceHeader;
  file.CycleData = record.CycleData;
  return file;
}

TEST(ReportWindow, ChoosesTheReportFromTheAlarmCodeAndTheCycleCode) {
  struct Case {
    int cycleCode, alarm;
    ReportKind kind;
    bool switchable;
  };
  const Case cases[] = {{0, 0, ReportKind::Compact, true},
                        {12, 0, ReportKind::Compact, true},
                        {0, 10, ReportKind::Full, false},
                        {13, 0, ReportKind::VacuumTestCompact, false},
                        {13, 33, ReportKind::VacuumTestFull, false},
                        {0x3D, 0, ReportKind::VacuumTestCompact, false}};  // mode bits set
  const ReportLanguage language = english(',');
  for (const Case& c : cases) {
    Record record;
    record.byte(77, c.cycleCode).alarm(c.alarm).sample(0, 163);
    ReportWindow window(language);
    window.load(cycleFile(record));
    EXPECT_FALSE(window.ViewFailed());
    EXPECT_EQ(window.shown(), c.kind) << c.cycleCode << " " << c.alarm;
    EXPECT_EQ(window.switchEnabled(), c.switchable);
    EXPECT_EQ(window.HasAlarm(), c.alarm != 0);
    EXPECT_TRUE(window.report().ok());
  }
}

TEST(ReportWindow, ShowsTheReleaseWhereTheSignatureLineStoodInEitherView) {
  const ReportLanguage language = english(',');
  Record record;
  record.sample(0, 163);
  ReportWindow window(language);
  window.load(cycleFile(record));
  const std::vector<std::string> before = window.report().lines;
  const std::string signature = centred(languageText(language, kSignatureCaption));
  ASSERT_EQ(std::count(before.begin(), before.end(), signature), 1);
  const std::vector<std::string> block = {"Released by AR (Anna Rossi)", "on 07/12/2026 10:12",
                                          "Note: tray B"};
  window.setRelease(block);
  const std::vector<std::string>& after = window.report().lines;
  EXPECT_EQ(std::count(after.begin(), after.end(), signature), 0);
  ASSERT_EQ(after.size(), before.size() + block.size() - 1);
  const auto at =
      static_cast<std::size_t>(std::find(before.begin(), before.end(), signature) - before.begin());
  EXPECT_EQ(after[at], centred(block[0]));
  EXPECT_EQ(after[at + 2], centred(block[2]));
  EXPECT_EQ(after[at + 3], before[at + 1]);
  window.pressSwitch();  // the full report carries it too
  EXPECT_EQ(
      std::count(window.report().lines.begin(), window.report().lines.end(), centred(block[0])), 1);
  window.load(cycleFile(record));  // the next file's release is its own
  EXPECT_EQ(window.report().lines, before);
}

TEST(ReportWindow, SwitchesBetweenTheCompactAndTheFullReportWithItsCaption) {
  Record record;
  record.sample(0, 163);
  ReportWindow window(english(','));
  window.load(cycleFile(record));
  EXPECT_EQ(window.switchCaption(), "Extended view");
  window.pressSwitch();
  EXPECT_EQ(window.shown(), ReportKind::Full);
  EXPECT_EQ(window.switchCaption(), "Compact view");
  EXPECT_EQ(window.report().lines.back(),
            "              sterilisation records");  // no alarm footer
  window.pressSwitch();
  EXPECT_EQ(window.shown(), ReportKind::Compact);
  EXPECT_EQ(window.switchCaption(), "Extended view");
  // Activation resets the caption whatever is on show: pressing then builds
  // the full report again.
  window.pressSwitch();
  window.activate();
  EXPECT_EQ(window.switchCaption(), "Extended view");
  window.pressSwitch();
  EXPECT_EQ(window.shown(), ReportKind::Full);

  record.alarm(4);
  window.load(cycleFile(record));
  window.pressSwitch();
  EXPECT_EQ(window.shown(), ReportKind::Full);
  EXPECT_EQ(window.report().lines.back(), kDots);  // the alarm footer
}

TEST(ReportWindow, FilesThatCannotBeShownFailTheViewAndBrokenReportsShowFileError) {
  const ReportLanguage language = english(',');
  ReportWindow window(language);
  const shell::LocalTime when{2025, 3, 14, 10, 15, 30};
  Bytes device(200, 7);
  Bytes sealed = record::sealContents(record::dateSeal(when), device);
  sealed[100] ^= 1;
  window.load(record::readCycleFile(sealed, when));
  EXPECT_TRUE(window.ViewFailed());
  EXPECT_EQ(window.shown(), ReportKind::None);

  Record broken;
  broken.sample(0, 130);
  window.load(cycleFile(broken));
  EXPECT_FALSE(window.ViewFailed());
  EXPECT_EQ(window.report().failure, "File error");
  EXPECT_TRUE(window.print().pairs.empty());
}

TEST(ReportWindow, TechnicalReportsShowTheirTextWithoutTheSwitch) {
  ReportWindow window(english(','));
  window.load(testing::generatedTechnicalReport(2));
  EXPECT_EQ(window.shown(), ReportKind::Technical);
  EXPECT_FALSE(window.switchEnabled());
  EXPECT_EQ(window.report().lines.front(), "SERVICE REPORT");
  EXPECT_EQ(window.print().pairs.size(), window.report().lines.size());
}

TEST(ReportWindow, FolderOfAMonthCaptionIsCutToTheMonthsNumber) {
  const shell::LanguageTexts& texts = testing::englishTexts();
  ASSERT_EQ(texts[3], "3,\"03 March\"");
  EXPECT_EQ(adjustCurrentFolder("C:\\Vestrim\\2025\\03 March", texts), "C:\\Vestrim\\2025\\03");
  EXPECT_EQ(adjustCurrentFolder("C:\\Vestrim\\2025\\12 DECEMBER", texts), "C:\\Vestrim\\2025\\12");
  EXPECT_EQ(adjustCurrentFolder("C:\\Vestrim\\2025\\03", texts), "C:\\Vestrim\\2025\\03");
  EXPECT_EQ(adjustCurrentFolder("C:\\Vestrim\\2025\\SERVICE", texts), "C:\\Vestrim\\2025\\SERVICE");
  shell::LanguageTexts odd = texts;
  odd.set(1, "");
  odd.set(2, "no comma");
  EXPECT_EQ(adjustCurrentFolder("C:\\x\\o comm", odd), "C:\\x\\o ");  // "o comm", less 2
  EXPECT_EQ(adjustCurrentFolder("C:\\x", odd), "C:\\x");
}

}  // namespace
}  // namespace vestrim::reports
