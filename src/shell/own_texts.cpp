#include "shell/own_texts.h"

#include <array>
#include <string_view>

namespace vestrim::shell {
namespace {

// English, line by line from 363; English.lng holds the same lines.
constexpr std::array<const char*, kLastOwnText - kFirstOwnText + 1> kEnglish{
    "en",
    "&Vestrim",
    "&Connect to the device",
    "&Open files to send\x85",
    "&Save",
    "&Pen drive\x85",
    "Search the &archive",
    "&Read again",
    "Pr&int\x85",
    "&Quit",
    "&Info",
    "&About Vestrim",
    "Close %1",
    "&File",
    "&Check archive\x85",
    "Verify every sealed file against its seal and the archive journal",
    "Stored files",
    "Stored file columns",
    "An operation is running. Stop it and close the window?\\nFiles saved before stay as they are, "
    "the file being read is not kept.",
    "Programmer",
    "Device files",
    "Operation progress",
    "Connect to the device (Ctrl+L)",
    "Read the device's files again",
    "Choose files to send",
    "Send the chosen file to the device",
    "Save and seal the device's dated files",
    "Erase the device's memory",
    "&Open\x85",
    "&Connect",
    "&Download",
    "Ve&rsion",
    "Open",
    "Not connected",
    "Connecting at 19200 baud",
    "Connected at 57600 baud",
    "Stalled: wrong answer to the speed switch",
    "%1 written into the device.",
    "Pen drive (%1)",
    "Read the drive's device files again",
    "Save and seal the listed files",
    "Delete the listed files from the drive",
    "Pen drive files",
    "Progress",
    "Delete the device files of the drive's top folder",
    "Erase &all listed",
    "%1 device files found",
    "Report",
    "Report column",
    "Cycle chart",
    "Pre&view",
    "Print preview",
    "C&hart on print and PDF",
    "Char&t",
    "Show the chart",
    "Export P&DF\x85",
    "Export PDF",
    "Export C&SV\x85",
    "Export CSV",
    "Exported %1",
    "Fro&m:",
    "&To:",
    "&Program:",
    "&Result:",
    "C&ycle:",
    "&Name:",
    "&Search",
    "C&lear",
    "any day",
    "any program",
    "Any result",
    "Passed",
    "Alarm",
    "Alarm %1",
    "any",
    "part of the file name",
    "List the stored cycles of every folder that match",
    "Clear the search",
    "Search state",
    "Searching\x85",
    "1 cycle found",
    "%1 cycles found",
    "Matching cycles",
    "Cycle columns",
    "Start",
    "End",
    "Cycle",
    "Program",
    "Result",
    "Serial",
    "Samples",
    "File",
    "Archive check",
    "Archive check of %1",
    "Check progress",
    "Check state",
    "File states",
    "Findings",
    "Finding",
    "File or entry",
    "Detail",
    "Finding columns",
    "F&ingerprint:",
    "Fingerprint",
    "The journal's last chained hash: write it down with the date of the check",
    "R&estore file times",
    "Set the files copied without their times back to the times their seals record",
    "Save as P&DF\x85",
    "Check a&gain",
    "Cl&ose",
    "Restoring file times\x85",
    "Listing the archive\x85",
    "Checking file %1 of %2\x85",
    "Every file verified.",
    "Problems found.",
    "The times of %1 files were restored",
    ", %1 could not be restored.",
    "Journal entry broken",
    "Journal line %1",
    "Cycle numbers missing",
    "(no serial number)",
    "cycle %1",
    "cycles %1 to %2",
    "Intact",
    "Every file",
    "Sealed, in the journal, unchanged",
    "none (no journal entries)",
    "Save the archive check as PDF",
    "intact",
    "changed",
    "missing",
    "copied without its times",
    "unknown",
    "bad",
    "Checked on %1",
    "Journal: none",
    "Journal: cannot be read",
    "Journal: %1 entries, chain whole",
    "Journal: %1 entries, chain broken",
    "Files: %1 - %2",
    "cannot be read",
    "its bytes differ from journal entry %1",
    "modified %1, sealed %2",
    "at no valid time",
    "no journal entry",
    "Service and data tool for steam-steriliser control boards:\\ndevice catalogue, cycle records, "
    "reports, firmware and pen drives.",
    "Copyright \xA9 2026 the Vestrim developers. All rights reserved.\\nLicensed for the service "
    "of steam-steriliser control boards.",
    "Vestrim logo",
    "The settings file could not be written: the choice holds for this run only.",
    "%1 of %2 records saved in %3",
    "%1 of %2 record saved in %3",
    "Nothing to save.",
    "Not connected to the device: nothing was saved.",
    "The device stopped answering",
    "A file made no progress for 180 s",
    "The save stopped: the archive journal cannot be written",
    "The device's replies failed their check five times in a row",
    "Records not saved",
    "Not saved, %1:",
    "and %1 more",
    "not read, the save stopped",
    "the device sent no bytes of it",
    "%1 bytes, longer than any device file",
    "cannot create %1: %2",
    "1 record %1 is not in the archive and would be lost:",
    "%1 records %2 are not in the archive and would be lost:",
    "on the device",
    "on the pen drive",
    "It cannot be read: it is missing, not a file, or this user may not read it.",
    "It is too short to hold a stored record.",
    "Its seal does not match the time of the file: it was changed after it was saved, or copied "
    "without its times.\\nFile > Check archive tells which, and restores the times of files that "
    "were only copied.",
    "It was changed after it was saved: its check sum does not match its contents.",
    "It is not a cycle record but a file the PC sent to the device (data, messages or firmware).",
    "The technical report holds no text.",
    "Its cycle data cannot be read (%1).",
    "The pen drive %1 is no longer there.",
    "The pen drive %1 is no longer there (%2).",
    "Put it back and press Read, or close this window.",
    "%1 of %2 files deleted.",
    "%1 of %2 file deleted.",
    "No longer on the drive:",
    "Not deleted:",
    "Files not intact:",
    "Journal problems:",
    "line %1: %2",
    "Cycle-number gaps:",
    "Cycle-number gaps: none",
    "%1 to %2",
    "Result: every file verified",
    "Result: problems found",
    "Fingerprint: %1",
    "Fingerprint: none",
    "journal entry %1",
    "bad seal",
    "bad checksum",
    "too short",
    "%1, no journal entry",
    "No port is chosen.",
    "Cannot open %1: %2.",
    "This user may not open the port.",
    "Install the vestrim package (its udev rule gives the logged-in user the USB adapter), or join "
    "the dialout group (sudo usermod -aG dialout $USER) and log in again.",
    "The device did not answer on %1.",
    "Link rebuilt (%1 of %2)",
    "the save resumed with file %1",
    "the send resumed: %1 is written again from its start",
    "the erase goes on",
    "the memory reads back erased",
    "the erase goes on with its bookkeeping",
    "Device file columns",
    "Default language",
    "cannot read %1",
    "cannot read %1: it is no longer there",
    "%1: %2 bytes, longer than any device file",
    "Device files (%1)",
    "Raw (%1)",
    "&Help",
    "&User guide",
    "Vestrim user guide",
    "The user guide cannot be shown: none of these files is there or can be read:",
    "1 file without a date was not saved",
    "%1 files without a date were not saved",
    "The time of 1 file was restored",
    "Initials are 1 to 4 letters or digits, not \"%1\".",
    "There is already an operator %1.",
    "The operator's name is empty or holds a tab or a line end.",
    "A PIN is 4 to 12 digits.",
    "Wrong PIN for %1.",
    "Too many wrong PINs for %1: try again in %2 seconds.",
    "There is no operator %1.",
    "%1 cannot be read.",
    "%1 is not a cycle record: only cycles are released.",
    "The seal or check sum of %1 fails: the cycle can only be rejected.",
    "The cycle ended with alarm %1: it can only be rejected.",
    "The cycle's result is failed: it can only be rejected.",
    "The vacuum test failed: it can only be rejected.",
    "The release was not recorded: %1",
    "Released by %1 (%2)",
    "Rejected by %1 (%2)",
    "on %1",
    "Indicators: %1",
    "not used",
    "passed",
    "failed",
    "Vacuum test: %1",
    "passed",
    "failed",
    "Note: %1",
    "NOT VALID: the file changed after it",
    "Releases: %1 (%2 released, %3 rejected)",
    "Releases: none",
    "Releases (the last of each cycle):",
    "%1 by %2 on %3 (entry %4): %5",
    "NOT VALID: its file is missing",
    "NOT VALID: its file changed after the release",
    "released",
    "rejected",
    "At least one pack kind is needed.",
    "The pack kind name \"%1\" cannot be used: 1 to 30 characters, no control characters, not "
    "starting with \"[\".",
    "The pack kind \"%1\" is listed twice.",
    "The storage days of \"%1\" must be from %2 to %3.",
    "%1 is not a stored file of the archive.",
    "%1 cannot be read: no label can be made.",
    "%1 is not a cycle record: labels are printed only for released cycles.",
    "%1 was not released: labels are printed only for released cycles.",
    "%1 was rejected by %2: labels are printed only for released cycles.",
    "%1 changed after its release: labels are printed only for released cycles whose file is "
    "unchanged.",
    "\"%1\" is not a pack code (VST1:serial:cycle:8 hex digits).",
    "No stored cycle %1 of machine %2 in the archive.",
    "Cycle %1 of machine %2 is %3, but that file changed after the label was printed.",
    "SN %1",
    "Cycle %1",
    "Date %1",
    "Exp. %1",
    "Op. %1",
    "Pack labels - %1",
    "Pack &kind:",
    "%1 (%2 days)",
    "&Copies:",
    "Label &size (mm):",
    "Label width in millimetres",
    "Label height in millimetres",
    "Preview of one label",
    "&Print\x85"
    "",
    "Save as P&DF\x85"
    "",
    "Storage d&ays\x85"
    "",
    "PDF files (*.pdf)",
    "%1 labels written to %2.",
    "%1 labels sent to the printer %2.",
    "The labels could not be printed on %1.",
    "Pack kinds and storage days",
    "Pack kind",
    "Storage days",
    "Pack kinds",
    "&Add",
    "&Remove",
    "New kind",
    "The pack kinds were not saved: %1",
    "The chemical indicators failed: the load can only be rejected.",
    "&Release\x85"
    "",
    "Release or reject the cycle",
    "&Labels\x85"
    "",
    "Print pack labels of the cycle",
    "Release of %1",
    "Cycle %1 of machine %2",
    "&Operator:",
    "&PIN:",
    "Result:",
    "Re&leased",
    "Re&jected",
    "&Chemical indicators:",
    "&Note:",
    "&Record",
    "No operators yet: add them with File > Operators\x85"
    ".",
    "Recorded as %1: journal entry %2",
    "Earlier: %1 by %2 on %3",
    "&Operators\x85"
    "",
    "Add or remove the operators who release cycles",
    "Operators",
    "Initials",
    "Name",
    "&Add\x85"
    "",
    "&Remove",
    "New operator",
    "&Initials:",
    "&Name:",
    "PIN &again:",
    "The two PINs differ.",
    "Remove operator %1 (%2)? The releases they recorded stay in the journal.",
    "Operators list",
    "Release",
    "not released",
    "changed since released",
    "any release",
    "Release state",
    "Code %1: %2",
    "Pack code",
    "Re&lease:",
};

std::string withLineEnds(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      result += '\n';
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

}  // namespace

const char* englishText(Text text) {
  return kEnglish[static_cast<std::size_t>(text) - kFirstOwnText];
}

std::string ownText(const LanguageTexts& texts, Text text) {
  const std::string& line = texts[static_cast<std::size_t>(text)];
  return withLineEnds(line.empty() ? std::string_view(englishText(text)) : line);
}

std::string ownText(const LanguageTexts& texts, Text text,
                    std::initializer_list<std::string> values) {
  const std::string pattern = ownText(texts, text);
  std::string result;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::size_t number = i + 1 < pattern.size() && pattern[i] == '%' &&
                                       pattern[i + 1] >= '1' && pattern[i + 1] <= '9'
                                   ? static_cast<std::size_t>(pattern[i + 1] - '1')
                                   : values.size();
    if (number < values.size()) {
      result += *(values.begin() + number);
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}

std::string nameLines(const std::vector<std::string>& names, const LanguageTexts& texts,
                      std::size_t shown) {
  std::string lines;
  for (std::size_t i = 0; i < names.size() && i < shown; ++i) {
    lines += (i == 0 ? "" : "\n") + names[i];
  }
  if (names.size() > shown) {
    lines += "\n" + ownText(texts, Text::AndMore, {std::to_string(names.size() - shown)});
  }
  return lines;
}

const LanguageTexts& englishOnly() {
  static const LanguageTexts kNone;
  return kNone;
}

}  // namespace vestrim::shell
