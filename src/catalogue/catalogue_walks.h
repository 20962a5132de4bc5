#pragma once

#include <cstdint>
#include <functional>

#include "catalogue/catalogue_tables.h"
#include "link/link_engine.h"
#include "link/operation.h"
#include "shell/shell_context.h"

namespace vestrim::catalogue {

// Language texts the walks show.
inline constexpr int kTextReadingCatalogue = 309;

// The reads that build the catalogue: the command list (operation 8), the
// memory size (1), the file chain (2), and a download counter (12). Each
// routine starts its operation on its first call and sends one request per
// call; the replies carry the walk on.
class CatalogueWalks final : public link::Operation {
 public:
  CatalogueWalks(link::LinkEngine& engine, CatalogueTables& tables, shell::ShellContext& shell);

  // What continues outside the catalogue: the erase that a pending erase
  // request starts at the end of a walk, the catalogue display, and the
  // write-back of a download counter.
  void setEraseStarter(std::function<void()> WriteCmdDel) {
    eraseStarter_ = std::move(WriteCmdDel);
  }
  void setCatalogueShow(std::function<void()> MMCshow) { show_ = std::move(MMCshow); }
  void setCounterWriter(std::function<void(std::uint32_t address, std::uint16_t counter)> write) {
    counterWriter_ = std::move(write);
  }

  void CheckDimMMC();
  void ReadMMC();
  void ReadCmndLst();
  void ReadCntFile(std::uint32_t counterAddress);

  void onReadReply() override;

 private:
  void memorySizeRead();
  void catalogueRecordRead();
  void commandSlotRead();
  void counterRead();
  void corruptChain();
  void tableOverflow();
  void startErase();

  link::LinkEngine& engine_;
  CatalogueTables& tables_;
  shell::ShellContext& shell_;
  std::function<void()> eraseStarter_;
  std::function<void()> show_;
  std::function<void(std::uint32_t, std::uint16_t)> counterWriter_;
  std::uint32_t counterAddress_ = 0;
};

}  // namespace vestrim::catalogue
