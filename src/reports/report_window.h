#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/prompts.h"
#include "record/cycle_file.h"
#include "reports/cycle_record.h"
#include "reports/print_layout.h"
#include "reports/report_lines.h"

// The report window's logic without the window: which report a stored file
// opens with, the switch between the compact and the full report, the
// button captions, and the print job of what is on show.
namespace vestrim::reports {

// Captions of the window's buttons (LanguageTexts).
inline constexpr std::size_t kPrintCaption = 359;
inline constexpr std::size_t kFullViewCaption = 360;     // "Extended view"
inline constexpr std::size_t kCompactViewCaption = 361;  // while the full report is on show
inline constexpr std::size_t kExitCaption = 297;
// The operator's signature line of the cycle reports.
inline constexpr std::size_t kSignatureCaption = 350;

enum class ReportKind {
  None,  // nothing on show: the file cannot be shown, or not loaded yet
  Compact,
  Full,
  VacuumTestCompact,
  VacuumTestFull,
  Technical,
};

// The report builder's name, as the window calls it ("LittleView", ...).
const char* reportName(ReportKind kind);

class ReportWindow {
 public:
  explicit ReportWindow(const ReportLanguage& language) : language_(language) {}

  // Loading, after LeggiFile (the release shown before is dropped): a
  // technical report shows TechnicalView; a cycle with an alarm the full
  // report (VacumTestFullView for a vacuum test); a cycle without alarm the
  // compact report (VacumTestLittleView for a vacuum test). Only the compact report can switch to
  // the full one. A file that cannot be shown (nothing read) sets ViewFailed; a report that fails
  // leaves "File error" on show.
  void load(const record::CycleFile& file);

  // The cycle's release, shown in place of the signature line (text 350)
  // of every cycle report, each line centred; empty: the signature line
  // stays. The report on show is built again.
  void setRelease(std::vector<std::string> lines);

  // Activation: the button captions are set again from the language, so
  // the switch reads text 360 whichever report is on show.
  void activate();

  // The switch button (Command3): when its caption is not text 360 it
  // becomes text 360 and the compact report is built; otherwise it becomes
  // text 361 and the full report, with its maximum/minimum footer.
  void pressSwitch();

  bool ViewFailed() const { return ViewFailed_; }
  bool HasAlarm() const { return HasAlarm_; }
  bool switchEnabled() const { return switchEnabled_; }
  const std::string& switchCaption() const { return switchCaption_; }
  const ReportLanguage& language() const { return language_; }
  ReportKind shown() const { return shown_; }
  // The report on show; "File error" when it could not be built.
  const Report& report() const { return report_; }

  // The print job of the lines on show (nothing to print after a failure).
  PrintJob print() const;

  // The decoded record of the cycle on show, which the chart and the CSV
  // export take: nothing for a technical report, a file that cannot be
  // shown or a record that does not decode.
  std::optional<CycleRecord> record() const;

 private:
  void show(ReportKind kind);
  void placeRelease();

  ReportLanguage language_;  // refers to the tables, which outlive the window
  std::string DeviceHeader_;
  std::string CycleData_;
  bool IsTechnicalReport_ = false;
  bool HasAlarm_ = false;
  bool ViewFailed_ = false;
  bool switchEnabled_ = false;
  std::string switchCaption_;
  ReportKind shown_ = ReportKind::None;
  Report report_;
  std::vector<std::string> release_;
};

// Why a stored file is not shown, as the message box says it: "File
// error", the file's name, and the cause in words the user can act on
// (changed after it was saved, seal and file time disagree, unreadable, too
// short, not a cycle record, cycle data that cannot be read). Nothing when
// `window`, loaded with `read`, shows a report.
std::optional<platform::Message> refusalMessage(const std::string& fileName,
                                                const record::CycleFile& read,
                                                const ReportWindow& window);

// The folder a file is read from, given the folder the file manager's tree
// names: the tree shows month folders by their captions (language texts 1
// to 12, e.g. 3,"03 March"), the disk holds them by their first two
// characters. At the first caption whose name (after its comma and quote,
// without its last character) the folder contains, ignoring case, the
// folder is shortened by the name's length less 2; with the name at its
// end, its first two characters remain. Otherwise it is left unchanged.
std::string adjustCurrentFolder(const std::string& CurrentFolder,
                                const shell::LanguageTexts& texts);

}  // namespace vestrim::reports
