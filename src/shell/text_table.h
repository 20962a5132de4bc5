#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace vestrim::shell {

// A table of numbered single-byte texts, entries 0..Last. A number outside
// the table reads as an empty text and is never written.
template <std::size_t Last>
class TextTable {
 public:
  static constexpr std::size_t kLast = Last;

  const std::string& operator[](std::size_t number) const {
    static const std::string kEmpty;
    return number <= Last ? texts_[number] : kEmpty;
  }

  void set(std::size_t number, std::string text) {
    if (number <= Last) {
      texts_[number] = std::move(text);
    }
  }

 private:
  std::array<std::string, Last + 1> texts_{};
};

// Captions and status texts: entry N is line N of the language file.
using LanguageTexts = TextTable<1000>;
// The device's numbered messages, used as the words of the reports.
using LanguageMessages = TextTable<523>;

}  // namespace vestrim::shell
