// Arbitrary bytes as a language file: its caption lines and its message
// records, in Windows-1252 or UTF-8.
#include "fuzz_files.h"
#include "shell/language_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vestrim::shell;
  const auto file = vestrim::fuzz::inputFile(data, size, "Fuzz.lng");
  LanguageTexts texts;
  LoadLanguageTexts(file, texts);
  LanguageMessages messages;
  LoadLanguageMessages(file, messages);
  captionOfLine(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
