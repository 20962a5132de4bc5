// Checks of the language files shipped in lang/: what the windows, the
// reports and the file manager need of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shell/language_files.h"
#include "shell/own_texts.h"
#include "shell/text_encoding.h"
#include "shell/text_table.h"

namespace vestrim::shell {
namespace {

const std::filesystem::path kLangDir{VESTRIM_LANG_DIR};

// Captions in use: every window, status text and report word looks up one of these lines.
constexpr std::size_t kFirstCaption = 296;
constexpr std::size_t kLastCaption = 362;

// Report labels and the width they are padded to; a longer label breaks the report.
const std::vector<std::pair<std::size_t, std::size_t>> kLabelPads = {
    {321, 30}, {322, 30}, {323, 30}, {324, 30},  // header lines 1 to 4
    {325, 30}, {326, 30}, {327, 30}, {328, 30},  // cycle name, set points, sterilisation time
    {329, 30}, {333, 30}, {336, 30},             // header lines 11 to 13
    {339, 30},                                   // start date
    {340, 12},                                   // column header, before the probe headings
    {341, 26},                                   // result: 26 in the alarm footer, 30 elsewhere
    {344, 26}, {345, 26}, {346, 26}, {347, 26},  // alarm footer (30 in the vacuum test footer)
    {351, 30}, {352, 30},                        // counter and end date of the normal footers
    {357, 30}, {358, 30},                        // vacuum test name and result
};
// Texts centred on the 48-character report line.
const std::vector<std::size_t> kCentredTexts = {348, 349, 350, 353, 354, 355, 356};
// Toolbar buttons Read, Save, Erase: matched by their caption without blanks.
const std::vector<std::size_t> kToolbarCaptions = {303, 304, 305};
// Memory size title: its last four characters become "[MB]" in the pen-drive window.
constexpr std::size_t kMemorySizeTitle = 307;

// Message numbers: cycle names are 50 + cycle code, alarm texts 100 + code and 200 + code,
// phase names 200 + phase code, event texts 401 + event code.
constexpr std::size_t kFirstCycleName = 50;
constexpr std::size_t kLastCycleName = 65;
constexpr std::size_t kLastFinalPhase = 69;   // header line 13, messages 66 to 69 by mode
constexpr std::size_t kLastAlarmCode = 44;    // the alarm codes the files name
constexpr std::size_t kFirstPhaseName = 351;  // phase code 151
constexpr std::size_t kLastPhaseName = 400;   // phase code 200
// The compact and vacuum test reports leave out phases 151 to 162 and phase 177.
constexpr std::size_t kFirstShownPhaseName = 363;
constexpr std::size_t kHiddenPhaseName = 377;
constexpr std::size_t kFirstEventText = 401;
constexpr std::size_t kLastEventText = 523;
// Phases after which the full report leaves a blank line.
const std::vector<std::string> kSectionPhases = {"1PV", "3PV", "ET ", "SE ",
                                                 "DS ", "SPD", "EPD", "DE "};

struct LanguageFile {
  explicit LanguageFile(const std::string& language) {
    const std::filesystem::path path = kLangDir / (language + kLanguageExtension);
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    LoadLanguageTexts(path, texts);
    records = LoadLanguageMessages(path, messages);
  }
  std::string bytes;
  LanguageTexts texts;
  LanguageMessages messages;
  std::optional<int> records;
};

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
 protected:
  const LanguageTexts& texts() const { return file.texts; }
  const LanguageMessages& messages() const { return file.messages; }
  const LanguageFile file{GetParam()};
};

TEST_P(ShippedLanguage, IsSingleByteTextWith294MessageRecords) {
  const std::string& bytes = file.bytes;
  ASSERT_FALSE(bytes.empty());
  // Every file holds non-ASCII letters (the degree sign at least); as single bytes they do
  // not form UTF-8.
  EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }));
  EXPECT_FALSE(isMultiByteUtf8(bytes));
  EXPECT_TRUE(bytes.ends_with("\r\n"));
  EXPECT_EQ(file.records, std::optional<int>(kMaxMessageRecords));
}

// The set points of the full report follow the first three characters of the cycle name.
TEST_P(ShippedLanguage, CycleNamesBeginWithTheirTemperature) {
  for (std::size_t n = kFirstCycleName; n <= kLastCycleName; ++n) {
    const std::string& name = messages()[n];
    EXPECT_TRUE(name.starts_with("134") || name.starts_with("121")) << n << ": " << name;
  }
}

TEST_P(ShippedLanguage, EveryCodeTheReportsLookUpHasAWord) {
  for (std::size_t n = kFirstCycleName; n <= kLastFinalPhase; ++n) {
    EXPECT_FALSE(messages()[n].empty()) << "message " << n;
  }
  for (std::size_t code = 1; code <= kLastAlarmCode; ++code) {
    EXPECT_FALSE(messages()[100 + code].empty()) << "alarm " << code;
    EXPECT_FALSE(messages()[200 + code].empty()) << "alarm " << code;
  }
  for (std::size_t n = kFirstPhaseName; n <= kLastEventText; ++n) {
    EXPECT_FALSE(messages()[n].empty()) << "message " << n;
  }
}

TEST_P(ShippedLanguage, PhaseAndEventNamesFillTheThreeCharacterColumnAndOneReads120) {
  std::set<std::string> shownPhases;
  for (std::size_t n = kFirstPhaseName; n <= kLastEventText; ++n) {
    EXPECT_EQ(messages()[n].size(), 3u) << "message " << n << ": '" << messages()[n] << "'";
    if (n >= kFirstShownPhaseName && n <= kLastPhaseName && n != kHiddenPhaseName) {
      shownPhases.insert(messages()[n]);
    }
  }
  for (const std::string& phase : kSectionPhases) {
    EXPECT_TRUE(shownPhases.contains(phase)) << "'" << phase << "' is missing or hidden";
  }
  // One periodic sample event reads "120"; the short reports also read the message after it.
  std::vector<std::size_t> samples;
  for (std::size_t n = kFirstEventText; n <= kLastEventText; ++n) {
    if (messages()[n] == "120") {
      samples.push_back(n);
    }
  }
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_LT(samples[0], kLastEventText);
}

TEST_P(ShippedLanguage, EveryCaptionInUseHasATextAndReportLabelsFitTheirPads) {
  for (std::size_t n = kFirstCaption; n <= kLastCaption; ++n) {
    EXPECT_FALSE(texts()[n].empty()) << "caption " << n;
  }
  for (const std::size_t n : kToolbarCaptions) {
    EXPECT_EQ(texts()[n].find(' '), std::string::npos) << "caption " << n << ": " << texts()[n];
  }
  EXPECT_TRUE(texts()[kMemorySizeTitle].ends_with("[KB]")) << texts()[kMemorySizeTitle];
  for (const auto& [n, pad] : kLabelPads) {
    EXPECT_LE(texts()[n].size(), pad) << "caption " << n << ": '" << texts()[n] << "'";
  }
  for (const std::size_t n : kCentredTexts) {
    EXPECT_LE(texts()[n].size(), 48u) << "caption " << n << ": '" << texts()[n] << "'";
  }
}

INSTANTIATE_TEST_SUITE_P(Lang, ShippedLanguage, ::testing::Values("English", "Italiano"),
                         [](const auto& test) { return std::string(test.param); });

template <std::size_t Last>
std::set<std::size_t> filledNumbers(const TextTable<Last>& table) {
  std::set<std::size_t> numbers;
  for (std::size_t n = 0; n <= Last; ++n) {
    if (!table[n].empty()) {
      numbers.insert(n);
    }
  }
  return numbers;
}

TEST(ShippedLanguages, BothFillTheSameLinesAndMessages) {
  const LanguageFile english("English");
  const LanguageFile italian("Italiano");
  EXPECT_EQ(filledNumbers(english.texts), filledNumbers(italian.texts));
  EXPECT_EQ(filledNumbers(english.messages), filledNumbers(italian.messages));
  // Our own texts: English.lng holds the built-in English, and a translation
  // keeps every %N of it.
  const auto placeholders = [](const std::string& text) {
    std::multiset<char> found;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
      found.insert(at + 1 < text.size() ? text[at + 1] : ' ');
    }
    return found;
  };
  for (std::size_t n = kFirstOwnText; n <= kLastOwnText; ++n) {
    EXPECT_EQ(english.texts[n], englishText(static_cast<Text>(n))) << "line " << n;
    EXPECT_EQ(placeholders(italian.texts[n]), placeholders(english.texts[n])) << "line " << n;
  }
}

}  // namespace
}  // namespace vestrim::shell
