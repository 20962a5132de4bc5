#include "archive/journal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "shell/local_time.h"
#include "shell/safe_file.h"
#include "shell/sha256.h"
#include "shell/text_encoding.h"

namespace vestrim::archive {
namespace {

constexpr std::size_t kHashDigits = 64;
constexpr std::size_t kUtcLength = 20;  // 2025-03-07T08:10:12Z
// An entry line is short; the end of the journal read to find the last one.
constexpr std::size_t kTailBytes = 65536;
const std::string kFirstChain(kHashDigits, '0');

bool isHash(std::string_view text) {
  return text.size() == kHashDigits && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

bool isUtc(std::string_view text) {
  static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != kUtcLength) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (kShape[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != kShape[i]) {
      return false;
    }
  }
  return true;
}

std::optional<std::uint64_t> number(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

constexpr std::string_view kReleaseKind = "release";
// The fields of a release, in the order its line writes them.
constexpr std::string_view kReleaseFields[] = {"operator",  "name", "result",
                                               "indicator", "test", "note"};

// A path ends its line, so blanks stay; a release's values are separated by
// blanks, so theirs are escaped too.
std::string escaped(const std::string& path, bool blanks = false) {
  std::string text;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%' || (blanks && c == ' ')) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      text += '%';
      text += kHex[byte >> 4];
      text += kHex[byte & 0x0F];
    } else {
      text += c;
    }
  }
  return text;
}

std::optional<std::string> unescapedPath(std::string_view text) {
  std::string path;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      path += text[i];
      continue;
    }
    unsigned value = 0;
    if (i + 2 >= text.size()) {
      return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
    if (error != std::errc() || end != text.data() + i + 3) {
      return std::nullopt;
    }
    path += static_cast<char>(value);
    i += 2;
  }
  return path;
}

std::string escapedPath(const std::string& path) {
  return escaped(path);
}

// What follows the chain on the line: the path, or a release's fields.
std::string lineTail(const JournalEntry& entry) {
  if (entry.kind == EntryKind::File) {
    return escapedPath(entry.path);
  }
  std::string text = "path=" + escaped(entry.path, true);
  for (const auto& [name, value] : entry.fields) {
    text += " " + name + "=" + escaped(value, true);
  }
  return text;
}

std::string sizeText(const JournalEntry& entry) {
  return entry.kind == EntryKind::File ? std::to_string(entry.size) : std::string(kReleaseKind);
}

// The fields of an entry before its chain, as its line writes them.
std::string chainedText(const JournalEntry& entry) {
  return std::to_string(entry.sequence) + " " + entry.utc + " " + sizeText(entry) + " " +
         entry.sha256 + " " + lineTail(entry);
}

// A release's fields from the rest of its line: exactly the names it must
// have, in their order.
bool parseReleaseTail(std::string_view tail, JournalEntry& entry) {
  std::size_t index = 0;
  while (!tail.empty()) {
    const std::size_t blank = tail.find(' ');
    const std::string_view field = tail.substr(0, blank);
    tail = blank == std::string_view::npos ? std::string_view() : tail.substr(blank + 1);
    const std::size_t equals = field.find('=');
    if (equals == std::string_view::npos) {
      return false;
    }
    const std::string_view name = field.substr(0, equals);
    const std::optional<std::string> value = unescapedPath(field.substr(equals + 1));
    if (!value) {
      return false;
    }
    if (index == 0) {
      if (name != "path") {
        return false;
      }
      entry.path = *value;
    } else if (index > std::size(kReleaseFields) || name != kReleaseFields[index - 1]) {
      return false;
    } else {
      entry.fields.emplace_back(name, *value);
    }
    ++index;
  }
  return index == std::size(kReleaseFields) + 1;
}

std::string utcNow() {
  const shell::LocalTime utc = shell::utcNow();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  return text;
}

}  // namespace

std::string sha256Hex(std::span<const std::uint8_t> bytes) {
  try {
    return shell::sha256Hex({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  } catch (const std::exception&) {
    return {};
  }
}

std::string chainHash(const std::string& previous, const JournalEntry& entry) {
  const std::string text = previous + " " + chainedText(entry);
  return sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string formatEntry(const JournalEntry& entry) {
  return std::to_string(entry.sequence) + " " + entry.utc + " " + sizeText(entry) + " " +
         entry.sha256 + " " + entry.chain + " " + lineTail(entry);
}

std::optional<JournalEntry> parseEntry(std::string_view line) {
  std::string_view fields[5];
  for (std::string_view& field : fields) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
      return std::nullopt;
    }
    field = line.substr(0, blank);
    line.remove_prefix(blank + 1);
  }
  const std::optional<std::uint64_t> sequence = number(fields[0]);
  if (!sequence || !isUtc(fields[1]) || !isHash(fields[3]) || !isHash(fields[4])) {
    return std::nullopt;
  }
  JournalEntry entry;
  entry.sequence = *sequence;
  entry.utc = fields[1];
  entry.sha256 = fields[3];
  entry.chain = fields[4];
  if (fields[2] == kReleaseKind) {
    entry.kind = EntryKind::Release;
    if (!parseReleaseTail(line, entry) || entry.path.empty()) {
      return std::nullopt;
    }
    return entry;
  }
  const std::optional<std::uint64_t> size = number(fields[2]);
  const std::optional<std::string> path = unescapedPath(line);
  if (!size || !path || path->empty()) {
    return std::nullopt;
  }
  entry.size = *size;
  entry.path = *path;
  return entry;
}

JournalReading readJournal(const std::filesystem::path& programFolder) {
  JournalReading reading;
  const std::filesystem::path file = programFolder / kJournalFileName;
  std::error_code error;
  reading.exists = std::filesystem::exists(file, error);
  if (!reading.exists) {
    return reading;
  }
  const std::optional<Bytes> bytes = shell::readWholeFile(file);
  if (!bytes) {
    reading.readable = false;
    return reading;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::uint64_t previousSequence = 0;
  std::string previousChain = kFirstChain;
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    const bool cut = end == std::string_view::npos;
    end = cut ? text.size() : end;
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const std::optional<JournalEntry> entry = parseEntry(line);
    if (!entry) {
      reading.problems.push_back(
          {lineNumber, cut ? "the last line is cut short" : "the line is not a journal entry"});
      continue;
    }
    std::string why;
    if (entry->sequence != previousSequence + 1) {
      why = "entry " + std::to_string(entry->sequence) + " follows entry " +
            std::to_string(previousSequence) + "; ";
    }
    if (chainHash(previousChain, *entry) != entry->chain) {
      why += "chain broken: this entry or the one before it was changed, removed or moved";
    } else if (!why.empty()) {
      why += "entries were removed or moved";
    }
    if (!why.empty()) {
      reading.problems.push_back({lineNumber, why});
    }
    previousSequence = entry->sequence;
    previousChain = entry->chain;
    reading.entries.push_back(*entry);
    reading.lines.push_back(lineNumber);
  }
  if (!reading.entries.empty()) {
    reading.lastChain = reading.entries.back().chain;
  }
  return reading;
}

std::unique_ptr<JournalWriter> JournalWriter::open(const std::filesystem::path& programFolder,
                                                   std::string& error) {
  const std::filesystem::path file = programFolder / kJournalFileName;
  std::error_code ignored;
  const bool existed = std::filesystem::exists(file, ignored);
  std::unique_ptr<shell::DurableFile> opened = shell::DurableFile::openLockedForAppend(file, error);
  if (!opened) {
    return nullptr;
  }
  if (!existed) {
    // The new journal's name must outlast a power cut as its entries do.
    shell::flushFolder(programFolder);
  }
  return std::unique_ptr<JournalWriter>(new JournalWriter(std::move(opened)));
}

bool JournalWriter::lastEntry(std::uint64_t& sequence, std::string& chain, std::string& error) {
  const std::optional<std::uint64_t> size = file_->size(error);
  if (!size) {
    return false;
  }
  sequence = 0;
  chain = kFirstChain;
  if (*size == 0) {
    return true;
  }
  const std::uint64_t from = *size > kTailBytes ? *size - kTailBytes : 0;
  std::string tail(static_cast<std::size_t>(*size - from), '\0');
  if (!file_->readAt(from, tail, error)) {
    return false;
  }
  // A line cut short by a power cut stays a line of its own, which the
  // check reports; the new entry follows the last whole one.
  if (tail.back() != '\n' && !file_->write("\n", error)) {
    return false;
  }
  std::string_view lines(tail);
  if (from > 0) {
    lines.remove_prefix(std::min(lines.size(), lines.find('\n') + 1));
  }
  while (!lines.empty()) {
    if (lines.back() == '\n') {
      lines.remove_suffix(1);
    }
    const std::size_t start = lines.rfind('\n');
    const std::string_view line = start == std::string_view::npos ? lines : lines.substr(start + 1);
    if (const std::optional<JournalEntry> entry = parseEntry(line)) {
      sequence = entry->sequence;
      chain = entry->chain;
      return true;
    }
    lines.remove_suffix(line.size());
  }
  error = "the last entries of " + shell::utf8Of(file_->file()) + " cannot be read";
  return false;
}

bool JournalWriter::append(const std::string& path, std::span<const std::uint8_t> contents,
                           std::string& error) {
  JournalEntry entry;
  entry.size = contents.size();
  entry.sha256 = sha256Hex(contents);
  entry.path = path;
  return append(entry, error);
}

bool JournalWriter::append(JournalEntry& entry, std::string& error) {
  std::string previousChain;
  if (!lastEntry(entry.sequence, previousChain, error)) {
    return false;
  }
  ++entry.sequence;
  entry.utc = utcNow();
  entry.chain = chainHash(previousChain, entry);
  if (entry.sha256.empty() || entry.chain.empty()) {
    error = "cannot compute SHA-256";
    return false;
  }
  return file_->write(formatEntry(entry) + "\n", error) && file_->flush(error);
}

}  // namespace vestrim::archive
