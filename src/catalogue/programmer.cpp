#include "catalogue/programmer.h"

#include "catalogue/catalogue_rows.h"
#include "shell/own_texts.h"

namespace vestrim::catalogue {

Programmer::Programmer(platform::SerialPort& port, platform::Scheduler& scheduler,
                       platform::ProgrammerView& view, platform::Prompts& prompts,
                       const platform::PortEnumerator& ports, platform::PortDialogView& dialog,
                       shell::ShellContext& shell)
    : shell_(shell),
      engine_(port, scheduler, view, prompts, shell.language.texts),
      walks_(engine_, tables_, shell),
      connection_(engine_, shell, ports, dialog) {
  engine_.setCatalogueEndStep([this] { catalogueEndStep(); });
  walks_.setCatalogueShow([this] { MMCshow(); });
  connection_.setConnectedStep([this] { walks_.ReadCmndLst(); });
  engine_.addTimeoutListener([this] { linkLost(); });
  engine_.addChecksumErrorListener([this] { giveUpJob(JobLoss::ChecksumError); });
  connection_.addStatusListener([this](link::LinkStatus status) {
    // The reconnection ended without a link: the port dialog waits for the
    // user, or the device answered the speed switch wrongly.
    if (reconnecting_ &&
        (status == link::LinkStatus::Closed || status == link::LinkStatus::Stalled)) {
      giveUpJob(JobLoss::DeviceLost);
    }
  });
}

void Programmer::beginJob(LinkJob job) {
  job_ = std::move(job);
  reconnecting_ = false;
  reconnections_ = 0;
  jobLoss_.reset();
}

void Programmer::linkLost() {
  if (!job_) {
    return;
  }
  // A copy: the job may end itself while it is told.
  const LinkJob job = *job_;
  if (reconnections_ < kMaxReconnections && job.linkLost()) {
    ++reconnections_;
    reconnecting_ = true;
    return;
  }
  giveUpJob(JobLoss::DeviceLost);
}

void Programmer::giveUpJob(JobLoss loss) {
  if (!job_) {
    return;
  }
  const LinkJob job = std::move(*job_);
  job_.reset();
  reconnecting_ = false;
  jobLoss_ = loss;
  job.lost(loss);
}

void Programmer::resumeJob() {
  reconnecting_ = false;
  const LinkJob job = *job_;
  // The refresh's walk is over; the job starts its own operation afresh.
  engine_.state().OperationCode = link::kNoOperation;
  if (const std::optional<std::string> resumed = job.resume()) {
    engine_.view().showLinkNotice(
        shell::ownText(shell_.language.texts, shell::Text::LinkRebuilt,
                       {std::to_string(reconnections_), std::to_string(kMaxReconnections)}) +
        "; " + *resumed);
    return;
  }
  giveUpJob(JobLoss::DeviceLost);
  engine_.EndOperation();
}

void Programmer::MMCshow() {
  const CatalogueDisplay display = catalogue::MMCshow(tables_, engine_.state().BlockAddress);
  rows_ = display.rows;
  engine_.view().showCatalogue(display.rows);
  engine_.view().setMemoryBar(display.memoryMaximum, display.memoryValue);
}

bool Programmer::settled() const {
  return !engine_.busy() && engine_.timersIdle() && !connection_.waiting();
}

void Programmer::catalogueEndStep() {
  link::ProgrammerState& state = engine_.state();
  if (state.readEnd && state.startWrite) {
    if (downloadStep_) {
      downloadStep_();
    }
    return;
  }
  if (state.readEnd && state.startRead) {
    state.startRead = false;
    engine_.view().setProgressVisible(false);
    engine_.view().setProgressValue(0);
    if (reconnecting_ && job_) {
      MMCshow();
      resumeJob();
      return;
    }
    if (multiSelectionStep_ && multiSelectionStep_()) {
      return;
    }
    MMCshow();
    engine_.EndOperation();
  }
}

}  // namespace vestrim::catalogue
