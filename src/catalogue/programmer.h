#pragma once

#include <functional>

#include "catalogue/catalogue_tables.h"
#include "catalogue/catalogue_walks.h"
#include "link/connection.h"
#include "link/link_engine.h"
#include "shell/shell_context.h"

namespace vestrim::catalogue {

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

 private:
  void catalogueEndStep();

  shell::ShellContext& shell_;
  CatalogueTables tables_;
  link::LinkEngine engine_;
  CatalogueWalks walks_;
  link::Connection connection_;
  std::function<void()> downloadStep_;
  std::function<bool()> multiSelectionStep_;
  std::vector<platform::CatalogueRow> rows_;
};

}  // namespace vestrim::catalogue
