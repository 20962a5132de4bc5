#include "shell/main_toolbar.h"

#include <algorithm>

namespace vestrim::shell {

std::string commandWord(const std::string& caption) {
  std::string word = caption;
  word.erase(std::remove(word.begin(), word.end(), ' '), word.end());
  return word;
}

}  // namespace vestrim::shell
