#pragma once

#include <functional>
#include <optional>
#include <string>

#include "catalogue/catalogue_tables.h"
#include "catalogue/catalogue_walks.h"
#include "link/connection.h"
#include "link/link_engine.h"
#include "shell/shell_context.h"

namespace vestrim::catalogue {

// How often one save, send or erase rides out a lost link.
inline constexpr int kMaxReconnections = 3;

// Why a job was given up.
enum class JobLoss {
  DeviceLost,     // the device stopped answering and the link did not come back for the job
  ChecksumError,  // five bad replies in a row ("Checksum Error")
};

// A device job that can ride out a lost reply: a save, a send, an erase.
// When the reply timeout fires, the link is rebuilt and the catalogue read
// again by themselves; the job then goes on where the device's state allows.
struct LinkJob {
  // The reply timeout fired: whether the job can go on once the link is
  // back. The job drops what was in transfer.
  std::function<bool()> linkLost;
  // The link is back and the catalogue has been read again: go on. Returns
  // what went on, for the user ("the save resumed with file 3 / 12"), or
  // nothing when the device's state does not allow it.
  std::function<std::optional<std::string>()> resume;
  // The job is given up; it ends as it always did.
  std::function<void(JobLoss)> lost;
};

// The programmer window's logic, without the window: the link engine, the
// connection and the catalogue walks wired together, with the catalogue-end
// step that shows the list or hands over to a waiting download.
class Programmer {
 public:
  Programmer(platform::SerialPort& port, platform::Scheduler& scheduler,
             platform::ProgrammerView& view, platform::Prompts& prompts,
             const platform::PortEnumerator& ports, platform::PortDialogView& dialog,
             shell::ShellContext& shell);

  link::LinkEngine& engine() { return engine_; }
  link::Connection& connection() { return connection_; }
  CatalogueWalks& walks() { return walks_; }
  CatalogueTables& tables() { return tables_; }
  const CatalogueTables& tables() const { return tables_; }

  // A download waiting for its place when the catalogue has been read
  // (startWrite), and the next file of a multiple selection: both continue
  // from the catalogue-end step. Each returns true when it took over.
  void setDownloadStep(std::function<void()> step) { downloadStep_ = std::move(step); }
  void setMultiSelectionStep(std::function<bool()> step) { multiSelectionStep_ = std::move(step); }

  // Shows the catalogue tables as the file list and the memory bar.
  void MMCshow();
  // The rows the file list shows, from the last MMCshow.
  const std::vector<platform::CatalogueRow>& rows() const { return rows_; }

  // Nothing is running and nothing is due: the program waits for the user.
  bool settled() const;

  // The job now running; it may ride out up to kMaxReconnections lost links.
  void beginJob(LinkJob job);
  // The job ended by itself.
  void endJob() {
    job_.reset();
    reconnecting_ = false;
  }
  // Reconnections the last job rode out, and why it was given up (if it was).
  int reconnections() const { return reconnections_; }
  std::optional<JobLoss> jobLoss() const { return jobLoss_; }

 private:
  void catalogueEndStep();
  void linkLost();
  void resumeJob();
  void giveUpJob(JobLoss loss);

  shell::ShellContext& shell_;
  CatalogueTables tables_;
  link::LinkEngine engine_;
  CatalogueWalks walks_;
  link::Connection connection_;
  std::function<void()> downloadStep_;
  std::function<bool()> multiSelectionStep_;
  std::vector<platform::CatalogueRow> rows_;
  std::optional<LinkJob> job_;
  bool reconnecting_ = false;  // the job waits for the link and the catalogue
  int reconnections_ = 0;
  std::optional<JobLoss> jobLoss_;
};

}  // namespace vestrim::catalogue
