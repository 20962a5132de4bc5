#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/programmer.h"
#include "transfer/download.h"

namespace vestrim::transfer {

// The files chosen to send, worked through one at a time: the first is
// loaded and waits for the Download command; each further one is loaded and
// sent by itself once the file before it has been written and the catalogue
// read again.
class FileSelection {
 public:
  FileSelection(catalogue::Programmer& programmer, shell::ShellContext& shell, Download& download,
                DownloadState& state);

  // What the file dialog chose: one file, or several from one folder. The
  // folder becomes the settings file's line 2, where the next dialog opens.
  void FileOpen(const std::vector<std::filesystem::path>& files);

  // Loads the file at the selection index; sends it when it is not the first.
  void gestione_multiselezione();

  // The selection list as the dialog gives it: one full path, or the folder
  // followed by the file names.
  const std::vector<std::string>& selectionList() const { return list_; }
  std::size_t selectionIndex() const { return index_; }
  // Whether every file of the selection has been sent.
  bool finished() const { return finished_; }

 private:
  bool continueAfterCatalogue();

  catalogue::Programmer& programmer_;
  shell::ShellContext& shell_;
  Download& download_;
  DownloadState& state_;
  std::vector<std::string> list_;
  std::vector<std::filesystem::path> files_;  // where each element of the list is
  std::size_t index_ = 1;
  bool written_ = false;  // the file at the index has been written
  bool finished_ = false;
};

}  // namespace vestrim::transfer
