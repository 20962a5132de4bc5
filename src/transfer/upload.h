#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/programmer.h"
#include "link/operation.h"
#include "platform/prompts.h"
#include "shell/text_table.h"

namespace vestrim::transfer {

// Language texts the upload shows.
inline constexpr int kTextUploading = 311;
// A file that has not moved on for this long is given up.
inline constexpr int kFileGuardMs = 180000;
// No device file is longer: the device's flash holds a few megabytes. A
// catalogue that makes one longer (a device that reports gigabytes of
// memory) would keep the save reading for days and hold it all in memory.
inline constexpr std::int64_t kMaxFileLength = 16 * 1024 * 1024;

// A record a save or an import could not write, and why (the folder and
// the system's words), in the system's single-byte text.
struct NotSaved {
  std::string record;  // code and date
  std::string why;
  bool operator==(const NotSaved&) const = default;
};

// How a Save ended.
struct SaveOutcome {
  enum class Kind {
    Finished,       // every record was tried: saved, or failed for a reason given
    NothingToDo,    // no rows, or none with a date
    NotConnected,   // the port is closed
    DeviceLost,     // the device stopped answering, and the link did not come back in time
    Stalled,        // a file made no progress for 180 s
    ChecksumError,  // the device's replies failed their check five times in a row
    // The archive journal could not be written; the first of `failed` says why.
    JournalFailed,
  } kind = Kind::Finished;
  int saved = 0;
  int records = 0;     // the dated cycle records and reports of the list: what should be saved
  std::string folder;  // the program folder they go to
  int undated = 0;     // records skipped for want of a date: they stay on the device alone
  std::vector<std::string> skipped;  // rows the rules skip: "code: no date", "not a cycle record"
  std::vector<NotSaved> failed;      // records not saved, with why
};

// Saves the device's files (Save): every row of the file list with a date
// is read out of the device block by block (ReadFile, operation 9), then
// sealed into the year and month folders of the program folder. A state
// machine driven by the link's replies and timers: one file after another.
// A lost reply costs only the file in transfer: once the link is rebuilt
// the save reads that file again from its start and goes on, up to three
// times per save.
class Upload final : public link::Operation {
 public:
  Upload(catalogue::Programmer& programmer, shell::ShellContext& shell);

  void setFileSealedHandler(std::function<void(const std::filesystem::path&)> handler) {
    fileSealed_ = std::move(handler);
  }
  void setFinishedHandler(std::function<void(const SaveOutcome&)> handler) {
    finished_ = std::move(handler);
  }
  // The file manager's refresh, run when a Save ends.
  void setRefreshHook(std::function<void()> hook) { refresh_ = std::move(hook); }

  void Save();
  bool running() const { return running_; }

  void onReadReply() override;

 private:
  void nextRow();
  void ReadFile();
  void sendBlock();
  void fileComplete();
  void showProgress();
  void finish(SaveOutcome::Kind kind);
  std::optional<std::string> resume();

  catalogue::Programmer& programmer_;
  link::LinkEngine& engine_;
  shell::ShellContext& shell_;
  std::function<void(const std::filesystem::path&)> fileSealed_;
  std::function<void(const SaveOutcome&)> finished_;
  std::function<void()> refresh_;
  std::unique_ptr<platform::Timer> guard_;

  bool running_ = false;
  std::vector<platform::CatalogueRow> rows_;
  std::size_t saveIndex_ = 0;  // 0-based position in rows_
  std::filesystem::path monthFolder_;
  int fileIndex_ = 0;  // the catalogue record being read
  Bytes received_;
  std::int64_t fileLength_ = 0;
  SaveOutcome outcome_;
};

// The provisional name of a row: its code text cut or padded with "_" to 8
// characters, "(", the date column, ")", "_", the File Id, ".dtl". Its
// characters 13-14 are the month and 16-17 the year of the date.
std::string provisionalName(const platform::CatalogueRow& row);

}  // namespace vestrim::transfer

namespace vestrim::transfer {

// Notes a row that the save's rules skip (`why`: kNoDate or kNotACycleRecord).
void noteSkip(SaveOutcome& outcome, const platform::CatalogueRow& row, const char* why);

// How a save ended, in a line for the status bar: "12 of 12 records saved
// in /srv/archive.", or why it stopped and what was saved before.
std::string saveOutcomeText(const SaveOutcome& outcome, const shell::LanguageTexts& texts);
// The message after a save that did not save every record: the line above,
// then the records not saved under each reason (the first 20, then "and N
// more"). Nothing when every record was saved.
std::optional<platform::Message> notSavedMessage(const std::string& outcomeLine,
                                                 const std::vector<NotSaved>& failed,
                                                 const shell::LanguageTexts& texts);

}  // namespace vestrim::transfer
