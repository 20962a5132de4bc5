#include "transfer/file_selection.h"

#include <algorithm>
#include <cctype>

#include "shell/settings_file.h"
#include "shell/text_encoding.h"

namespace vestrim::transfer {

FileSelection::FileSelection(catalogue::Programmer& programmer, shell::ShellContext& shell,
                             Download& download, DownloadState& state)
    : programmer_(programmer), shell_(shell), download_(download), state_(state) {
  programmer_.setMultiSelectionStep([this] { return continueAfterCatalogue(); });
  download_.addFinishedListener([this](bool written) {
    written_ = written;
    // A refused file ends the run through the selection.
    if (!written) {
      finished_ = true;
    }
  });
}

void FileSelection::FileOpen(const std::vector<std::filesystem::path>& files) {
  if (files.empty()) {
    return;
  }
  list_.clear();
  files_.clear();
  std::filesystem::path folder;
  if (files.size() == 1) {
    folder = files.front().parent_path();
    list_.push_back(shell::utf8Of(files.front()));
    files_.push_back(files.front());
  } else {
    // Several files: element 0 is the folder, then the bare names.
    folder = files.front().parent_path();
    list_.push_back(shell::utf8Of(folder));
    files_.push_back(folder);
    for (const auto& file : files) {
      list_.push_back(shell::utf8Of(file.filename()));
      files_.push_back(file);
    }
  }
  shell_.settings.DataFolder = shell::pathText(folder);
  shell::settings_writers::openFolderChosen(shell_.ProgramFolder, shell::pathText(folder));
  index_ = 1;
  written_ = false;
  finished_ = false;
  gestione_multiselezione();
}

void FileSelection::gestione_multiselezione() {
  // A single selection has only element 0: the full path.
  while (index_ > 0 && index_ >= list_.size()) {
    --index_;
  }
  if (list_.empty() || list_[index_].empty()) {
    finished_ = true;
    return;
  }
  state_.DownloadFileName = list_[index_];
  const std::string& name = state_.DownloadFileName;
  std::string extension = name.size() >= 3 ? name.substr(name.size() - 3) : name;
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  state_.FileExtension = extension;
  written_ = false;
  if (extension == "mhx") {
    download_.Load_Firmware(files_[index_]);
  } else if (extension == "mes" || extension == "dat" || extension == "msx" || extension == "dtl") {
    download_.Load_Data(files_[index_]);
  }
  // A second or later file goes at once; an unknown kind was not loaded,
  // and the download refuses it ("File not correct.").
  if (index_ > 1) {
    download_.download();
  }
}

bool FileSelection::continueAfterCatalogue() {
  // Only a download of the selection moves it on: any other catalogue read
  // (the Read command, an erase) must not send the next file.
  if (!written_) {
    return false;
  }
  written_ = false;
  if (index_ + 1 < list_.size() && !list_[index_ + 1].empty()) {
    ++index_;
    programmer_.MMCshow();
    gestione_multiselezione();
    // A file refused on its way in ends the run through the selection: the
    // catalogue-end step then ends the operation, so the window does not
    // stay busy.
    return !finished_;
  }
  finished_ = true;
  return false;
}

}  // namespace vestrim::transfer
