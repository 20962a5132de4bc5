#include "reports/report_window.h"

#include <algorithm>
#include <cctype>

#include "catalogue/header_record.h"
#include "reports/cycle_record.h"
#include "reports/cycle_reports.h"
#include "reports/technical_view.h"
#include "shell/folder_listing.h"
#include "shell/own_texts.h"

namespace vestrim::reports {
namespace {

using shell::lowered;

constexpr std::size_t kAlarmPosition = 75;
constexpr std::size_t kCycleTypePosition = 77;
constexpr std::size_t kMonthCaptions = 12;

}  // namespace

const char* reportName(ReportKind kind) {
  switch (kind) {
    case ReportKind::None:
      return "";
    case ReportKind::Compact:
      return "LittleView";
    case ReportKind::Full:
      return "FullView";
    case ReportKind::VacuumTestCompact:
      return "VacumTestLittleView";
    case ReportKind::VacuumTestFull:
      return "VacumTestFullView";
    case ReportKind::Technical:
      return "TechnicalView";
  }
  return "";
}

void ReportWindow::load(const record::CycleFile& file) {
  release_.clear();  // the release shown is that of the file loaded next, if any
  DeviceHeader_ = file.DeviceHeader;
  CycleData_ = file.CycleData;
  IsTechnicalReport_ = file.IsTechnicalReport;
  HasAlarm_ = false;
  ViewFailed_ = false;
  switchEnabled_ = false;
  shown_ = ReportKind::None;
  report_ = {};
  activate();
  if (CycleData_.empty()) {
    ViewFailed_ = true;
    return;
  }
  if (IsTechnicalReport_) {
    show(ReportKind::Technical);
    return;
  }
  if (CycleData_.size() < kCycleTypePosition) {
    // The choice reads the alarm code and the cycle type; a record without
    // them ends like any report that cannot read its bytes.
    report_ = Report::fileError("the record ends before its alarm code and cycle type");
    return;
  }
  const auto byteAt = [&](std::size_t position) {
    return static_cast<unsigned char>(CycleData_[position - 1]);
  };
  const bool vacuumTest = (byteAt(kCycleTypePosition) & 0x0F) == kVacuumTestCycle;
  HasAlarm_ = byteAt(kAlarmPosition) != 0;
  if (HasAlarm_) {
    show(vacuumTest ? ReportKind::VacuumTestFull : ReportKind::Full);
  } else if (vacuumTest) {
    show(ReportKind::VacuumTestCompact);
  } else {
    show(ReportKind::Compact);
    switchEnabled_ = true;
  }
}

void ReportWindow::activate() {
  switchCaption_ = language_.texts[kFullViewCaption];
}

void ReportWindow::pressSwitch() {
  if (!switchEnabled_) {
    return;
  }
  if (switchCaption_ != language_.texts[kFullViewCaption]) {
    switchCaption_ = language_.texts[kFullViewCaption];
    show(ReportKind::Compact);
  } else {
    switchCaption_ = language_.texts[kCompactViewCaption];
    show(ReportKind::Full);
  }
}

PrintJob ReportWindow::print() const {
  return printJob(report_.lines, language_.decimalSeparator);
}

std::optional<CycleRecord> ReportWindow::record() const {
  if (IsTechnicalReport_ || shown_ == ReportKind::None) {
    return std::nullopt;
  }
  return decodeCycleRecord(DeviceHeader_, CycleData_);
}

void ReportWindow::show(ReportKind kind) {
  shown_ = kind;
  switch (kind) {
    case ReportKind::None:
      report_ = {};
      break;
    case ReportKind::Compact:
      report_ = LittleView(DeviceHeader_, CycleData_, language_);
      break;
    case ReportKind::Full:
      report_ = FullView(DeviceHeader_, CycleData_, HasAlarm_, language_);
      break;
    case ReportKind::VacuumTestCompact:
      report_ = VacumTestLittleView(DeviceHeader_, CycleData_, language_);
      break;
    case ReportKind::VacuumTestFull:
      report_ = VacumTestFullView(DeviceHeader_, CycleData_, language_);
      break;
    case ReportKind::Technical:
      report_ = TechnicalView(CycleData_);
      break;
  }
  if (kind != ReportKind::Technical && report_.ok() && !release_.empty()) {
    placeRelease();
  }
}

void ReportWindow::setRelease(std::vector<std::string> lines) {
  release_ = std::move(lines);
  // Nothing on show (a file that could not be read, a record without its
  // cycle type) stays as its failure left it.
  if (shown_ != ReportKind::None) {
    show(shown_);
  }
}

void ReportWindow::placeRelease() {
  std::vector<std::string> block;
  for (const std::string& line : release_) {
    block.push_back(centra(line).value_or(line));
  }
  std::vector<std::string>& lines = report_.lines;
  const std::string& signature = languageText(language_, kSignatureCaption);
  const std::optional<std::string> signatureLine = centra(signature);
  const auto at = signature.empty() || !signatureLine
                      ? lines.end()
                      : std::find(lines.begin(), lines.end(), *signatureLine);
  if (at == lines.end()) {
    lines.push_back(" ");
    lines.insert(lines.end(), block.begin(), block.end());
    return;
  }
  const auto next = lines.erase(at);
  lines.insert(next, block.begin(), block.end());
}

std::optional<platform::Message> refusalMessage(const std::string& fileName,
                                                const record::CycleFile& read,
                                                const ReportWindow& window) {
  const shell::LanguageTexts& texts = window.language().texts;
  using shell::Text;
  std::string cause;
  switch (read.status) {
    case record::CycleFileStatus::Unreadable:
      cause = shell::ownText(texts, Text::RefusedUnreadable);
      break;
    case record::CycleFileStatus::TooShort:
      cause = shell::ownText(texts, Text::RefusedTooShort);
      break;
    case record::CycleFileStatus::BadSeal:
      cause = shell::ownText(texts, Text::RefusedBadSeal);
      break;
    case record::CycleFileStatus::BadChecksum:
      cause = shell::ownText(texts, Text::RefusedChanged);
      break;
    case record::CycleFileStatus::Cycle:
      // Whatever its bytes would make of a report, a file the PC sent is no cycle.
      if (catalogue::isSentFileType(
              static_cast<std::uint8_t>(read.DeviceHeader[catalogue::kFileTypeOffset]))) {
        cause = shell::ownText(texts, Text::RefusedNotCycle);
        break;
      }
      [[fallthrough]];
    case record::CycleFileStatus::TechnicalReport:
      if (!window.ViewFailed() && window.report().ok()) {
        return std::nullopt;
      }
      cause = window.ViewFailed()
                  ? shell::ownText(texts, Text::RefusedEmptyReport)
                  : shell::ownText(texts, Text::RefusedCycleData, {window.report().reason});
      break;
  }
  return platform::Message{.text = std::string(kFileError) + "\n\n" + fileName + "\n" + cause,
                           .title = kFileError,
                           .icon = platform::MessageIcon::Exclamation,
                           .buttons = platform::MessageButtons::Ok};
}

std::string adjustCurrentFolder(const std::string& CurrentFolder,
                                const shell::LanguageTexts& texts) {
  const std::string folder = lowered(CurrentFolder);
  for (std::size_t i = 1; i <= kMonthCaptions; ++i) {
    const std::string& caption = texts[i];
    // 1-based: the name starts two characters after the first comma (past
    // the comma and the opening quote) and stops before the last character.
    const std::size_t comma = caption.find(',');
    const std::size_t start = (comma == std::string::npos ? 0 : comma + 1) + 1;  // 0-based
    if (caption.size() < start + 2) {
      continue;  // no name: an empty name would be found in any folder
    }
    const std::string name = caption.substr(start, caption.size() - 1 - start);
    if (folder.find(lowered(name)) != std::string::npos) {
      const std::size_t keep =
          CurrentFolder.size() + 2 - std::min(name.size(), CurrentFolder.size() + 2);
      return CurrentFolder.substr(0, keep);
    }
  }
  return CurrentFolder;
}

}  // namespace vestrim::reports
