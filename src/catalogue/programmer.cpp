#include "catalogue/programmer.h"

#include "catalogue/catalogue_rows.h"

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
    if (multiSelectionStep_ && multiSelectionStep_()) {
      return;
    }
    MMCshow();
    engine_.EndOperation();
  }
}

}  // namespace vestrim::catalogue
