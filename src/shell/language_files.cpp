#include "shell/language_files.h"

#include <charconv>

#include "shell/safe_file.h"
#include "shell/text_encoding.h"

namespace vestrim::shell {
namespace {

std::optional<std::string> readTextFile(const std::filesystem::path& file) {
  const std::optional<Bytes> bytes = readWholeFile(file);
  if (!bytes) {
    return std::nullopt;
  }
  return textFileToWindows1252(std::string(bytes->begin(), bytes->end()));
}

bool isLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Reads the fields of delimited records one at a time: a field ends at a
// comma or a line end; leading blanks are skipped; a field in double quotes
// may hold commas and is taken without its quotes, and whatever follows the
// closing quote up to the next delimiter is dropped; an unquoted field loses
// its trailing blanks. Blank lines between records are passed over.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : text_(text) {}

  std::optional<std::string> next() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
      ++pos_;
    }
    // Line ends between records are passed over.
    while (pos_ < text_.size() && isLineEnd(text_[pos_]) && !midRecord_) {
      ++pos_;
      while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) {
        ++pos_;
      }
    }
    if (pos_ >= text_.size()) {
      return std::nullopt;
    }
    std::string field;
    if (text_[pos_] == '"') {
      // A quote left open ends at the line end, so that one damaged record
      // cannot swallow the records after it.
      std::size_t end = pos_ + 1;
      while (end < text_.size() && text_[end] != '"' && !isLineEnd(text_[end])) {
        ++end;
      }
      field.assign(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end < text_.size() && text_[end] == '"' ? end + 1 : end;
      while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_])) {
        ++pos_;
      }
    } else {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_])) {
        ++pos_;
      }
      field.assign(text_.substr(start, pos_ - start));
      const std::size_t last = field.find_last_not_of(" \t");
      field.erase(last == std::string::npos ? 0 : last + 1);
    }
    consumeDelimiter();
    return field;
  }

 private:
  void consumeDelimiter() {
    midRecord_ = false;
    if (pos_ >= text_.size()) {
      return;
    }
    if (text_[pos_] == ',') {
      ++pos_;
      midRecord_ = true;
      return;
    }
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
      ++pos_;
    }
    ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool midRecord_ = false;
};

std::optional<long> wholeNumber(const std::string& field) {
  long value = 0;
  const char* first = field.data();
  const char* last = field.data() + field.size();
  if (first != last && *first == '+') {
    ++first;
  }
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::string captionOfLine(std::string_view line) {
  const std::size_t comment = line.find(';');
  if (comment == std::string_view::npos) {
    return std::string(line);
  }
  std::string text(line.substr(0, comment));
  const std::size_t last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  return text;
}

bool LoadLanguageTexts(const std::filesystem::path& file, LanguageTexts& texts) {
  const std::optional<std::string> text = readTextFile(file);
  if (!text) {
    return false;
  }
  texts = LanguageTexts{};
  std::size_t number = 1;
  std::size_t start = 0;
  while (start < text->size() && number <= LanguageTexts::kLast) {
    std::size_t end = start;
    while (end < text->size() && !isLineEnd((*text)[end])) {
      ++end;
    }
    texts.set(number++, captionOfLine(std::string_view(*text).substr(start, end - start)));
    if (end < text->size() && (*text)[end] == '\r' && end + 1 < text->size() &&
        (*text)[end + 1] == '\n') {
      ++end;
    }
    start = end + 1;
  }
  return true;
}

std::optional<int> LoadLanguageMessages(const std::filesystem::path& file,
                                        LanguageMessages& messages) {
  const std::optional<std::string> text = readTextFile(file);
  if (!text) {
    return std::nullopt;
  }
  for (std::size_t number = 0; number < kFirstKeptMessage; ++number) {
    messages.set(number, "");
  }
  FieldReader fields(*text);
  int records = 0;
  while (records < kMaxMessageRecords) {
    const std::optional<std::string> numberField = fields.next();
    const std::optional<long> number = numberField ? wholeNumber(*numberField) : std::nullopt;
    if (!number) {
      break;
    }
    std::optional<std::string> message = fields.next();
    if (!message) {
      break;
    }
    if (*number >= 0 && static_cast<std::size_t>(*number) <= LanguageMessages::kLast) {
      messages.set(static_cast<std::size_t>(*number), std::move(*message));
    }
    ++records;
  }
  return records;
}

}  // namespace vestrim::shell
