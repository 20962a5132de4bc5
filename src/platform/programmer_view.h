#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vestrim::platform {

// The programmer window's toolbar, numbered as the window shows it.
enum class ToolbarButton {
  Connect = 1,
  Read = 2,
  Open = 3,
  MachineUpgrade = 4,
  Download = 5,
  Save = 6,
  Erase = 7,
};
inline constexpr int kToolbarButtonCount = 7;

enum class Menu { File, Device, Version };

// One row of the device's file list: five columns of text, and the chain
// position of the record it shows.
struct CatalogueRow {
  std::string code;              // "File code"
  std::string description;       // "Description": the file type's label
  std::string name;              // "File name": name "_" file number
  std::string date;              // "File date": DD-MM-YY hh.mm, or empty
  std::string id;                // "File Id": running number per kind of file
  int record = 0;                // index of the header record in the chain
  std::uint8_t fileType = 0xFF;  // header 48: what kind of file the row shows

  bool operator==(const CatalogueRow&) const = default;
};

// What the device link and the operations built on it show of their work:
// the window draws it, the command line prints it, tests record it.
// Texts are single-byte (Windows-1252).
class ProgrammerView {
 public:
  virtual ~ProgrammerView() = default;

  // Panel 1 holds the state texts, panel 2 the detail of the running step.
  virtual void setStatusText(int panel, const std::string& text) = 0;

  // The operation progress bar.
  virtual void setProgressVisible(bool visible) = 0;
  virtual void setProgressMaximum(std::uint32_t maximum) = 0;
  virtual void setProgressValue(std::uint32_t value) = 0;

  // The hourglass pointer.
  virtual void setBusyPointer(bool busy) = 0;

  virtual void setToolbarButtonEnabled(ToolbarButton button, bool enabled) = 0;
  virtual void setMenuEnabled(Menu menu, bool enabled) = 0;

  // The file list and the memory display.
  virtual void showCatalogue(const std::vector<CatalogueRow>& rows) = 0;
  virtual void clearCatalogue() = 0;
  virtual void setMemorySizeLabel(const std::string& text) = 0;
  virtual void setMemoryBar(std::uint32_t maximum, std::uint32_t value) = 0;

  // A notice the user must not miss although the work goes on: the link was
  // lost and rebuilt, and the running save, send or erase resumed. Shown in
  // status panel 2 unless the view has a better place for it.
  virtual void showLinkNotice(const std::string& text) { setStatusText(2, text); }
};

}  // namespace vestrim::platform
