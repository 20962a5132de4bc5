#include "transfer/device_images.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "shell/safe_file.h"

namespace vestrim::transfer {
namespace {

constexpr std::size_t kDataHeaderLength = 76;
constexpr std::size_t kFirmwareHeaderLength = 58;
constexpr std::uint32_t kFirmware24AddressBits = 0xF00000;
constexpr std::size_t kTrailerLength = 64;
constexpr std::size_t kRecordFileLimit = 32768;

std::optional<std::string> readFile(const std::filesystem::path& file) {
  const std::optional<Bytes> bytes = shell::readWholeFile(file);
  if (!bytes) {
    return std::nullopt;
  }
  return std::string(bytes->begin(), bytes->end());
}

// Text lines ended by CR LF, CR or LF; text after the last end is a line.
std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(line);
      line.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      line.push_back(text[i]);
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

// The value of `count` hexadecimal digits at `position`; nothing when the
// line is too short or a character is not a digit.
std::optional<std::uint32_t> hexAt(const std::string& line, std::size_t position,
                                   std::size_t count) {
  if (position + count > line.size()) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (std::size_t i = position; i < position + count; ++i) {
    const int c = std::toupper(static_cast<unsigned char>(line[i]));
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

platform::Message messageOf(std::string text,
                            platform::MessageIcon icon = platform::MessageIcon::None) {
  platform::Message message;
  message.text = std::move(text);
  message.icon = icon;
  return message;
}

Refusal refuse(DownloadState& state, platform::Message message) {
  state.FileNotReady = true;
  return message;
}

void putBigEndian(Bytes& buffer, std::size_t offset, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    buffer[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

}  // namespace

platform::Message fileNotCorrect() {
  return messageOf("File not correct.", platform::MessageIcon::Exclamation);
}
platform::Message tooBigWithIcon() {
  return messageOf("The file size is bigger than the memory support",
                   platform::MessageIcon::Exclamation);
}
platform::Message tooBig() {
  return messageOf("The File size is bigger than the memory support");
}
platform::Message notEnabled() {
  return messageOf("File not enabled to download.");
}

Refusal LoadSRecordFile(const std::filesystem::path& file, DownloadState& state) {
  std::fill(state.LoadBuffer.begin(), state.LoadBuffer.end(), 0xFF);
  const std::optional<std::string> text = readFile(file);
  const std::vector<std::string> lines = text ? textLines(*text) : std::vector<std::string>{};
  if (lines.empty() || !lines.front().starts_with("S0")) {
    return refuse(state, fileNotCorrect());
  }
  const std::string& header = lines.front();
  const std::optional<std::uint32_t> n = hexAt(header, 2, 2);
  if (!n) {
    return refuse(state, fileNotCorrect());
  }
  const std::size_t digits = *n >= 3 ? (*n - 3) * 2 : 0;
  std::string name =
      header.size() > 8 ? header.substr(8, std::min(digits, header.size() - 8)) : std::string();
  if (name.size() > 16 && name.size() > 32) {
    name = name.substr(name.size() - 32);
  }
  state.S0HeaderText = name;

  // A line that is not what its record type says is refused as a whole: a
  // firmware image built from part of a file must never reach the device.
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const bool s1 = line.starts_with("S1");
    const bool s2 = line.starts_with("S2");
    if (!s1 && !s2) {
      continue;
    }
    const std::size_t addressDigits = s1 ? 4 : 6;
    const std::optional<std::uint32_t> length = hexAt(line, 2, 2);
    const std::optional<std::uint32_t> address = hexAt(line, 4, addressDigits);
    const std::uint32_t overhead = s1 ? 3 : 4;
    if (!length || !address || *length < overhead) {
      return refuse(state, fileNotCorrect());
    }
    state.FileTypeToFind = s1 ? kFirmware16Type : kFirmware24Type;
    const std::size_t dataStart = 4 + addressDigits;
    for (std::uint32_t k = 0; k < *length - overhead; ++k) {
      const std::uint32_t target = *address + k;
      if (s2 && target >= kTopSectorStart) {
        break;  // the top sector is never sent
      }
      const std::optional<std::uint32_t> byte = hexAt(line, dataStart + 2 * k, 2);
      if (!byte || target >= state.LoadBuffer.size()) {
        return refuse(state, fileNotCorrect());
      }
      state.LoadBuffer[target] = static_cast<std::uint8_t>(*byte);
    }
  }
  state.FileNotReady = false;
  return std::nullopt;
}

Refusal LoadS2LinesFile(const std::filesystem::path& file, DownloadState& state) {
  // The trailer names the language by the 4th and 5th characters of the
  // chosen name (a bare name within a selection, a full path alone).
  Bytes trailer(kTrailerLength, 0x91);
  const std::string& name = state.DownloadFileName;
  trailer[0] = name.size() > 3 ? static_cast<std::uint8_t>(name[3]) : std::uint8_t{0x91};
  trailer[1] = name.size() > 4 ? static_cast<std::uint8_t>(name[4]) : std::uint8_t{0x91};

  std::fill(state.LoadBuffer.begin(), state.LoadBuffer.end(), 0xFF);
  state.LoadedLength = 0;
  const std::optional<std::string> text = readFile(file);
  if (!text) {
    return refuse(state, fileNotCorrect());
  }
  if (text->size() >= kBufferSize) {
    return refuse(state, tooBigWithIcon());
  }
  std::size_t length = 0;
  for (const std::string& line : textLines(*text)) {
    // The data of an S2 line: after type, count and 24-bit address, before
    // the check sum.
    for (std::size_t i = 10; i + 2 <= line.size() - std::min<std::size_t>(line.size(), 2); i += 2) {
      const std::optional<std::uint32_t> byte = hexAt(line, i, 2);
      if (!byte) {
        return refuse(state, fileNotCorrect());
      }
      if (length >= kBufferSize) {
        return refuse(state, tooBig());
      }
      state.LoadBuffer[length++] = static_cast<std::uint8_t>(*byte);
    }
  }
  ++length;  // one byte stays 0xFF between the messages and the trailer
  if (length + kTrailerLength > kBufferSize) {
    return refuse(state, tooBig());
  }
  std::copy(trailer.begin(), trailer.end(),
            state.LoadBuffer.begin() + static_cast<std::ptrdiff_t>(length));
  state.LoadedLength = static_cast<std::int32_t>(length + kTrailerLength);
  state.FileNotReady = false;
  return std::nullopt;
}

Refusal LoadRecordFile(const std::filesystem::path& file, DownloadState& state) {
  std::fill(state.LoadBuffer.begin(), state.LoadBuffer.end(), 0xFF);
  state.LoadedLength = 0;
  const std::optional<std::string> bytes = readFile(file);
  if (!bytes) {
    return refuse(state, fileNotCorrect());
  }
  const std::size_t length = std::min(bytes->size(), kRecordFileLimit);
  std::copy_n(bytes->begin(), length, state.LoadBuffer.begin());
  state.LoadedLength = static_cast<std::int32_t>(length);
  state.FileNotReady = false;
  return std::nullopt;
}

Refusal LoadRawFile(const std::filesystem::path& file, DownloadState& state) {
  std::fill(state.LoadBuffer.begin(), state.LoadBuffer.end(), 0xFF);
  state.LoadedLength = 0;
  const std::optional<std::string> bytes = readFile(file);
  if (!bytes) {
    return refuse(state, fileNotCorrect());
  }
  if (bytes->size() >= kBufferSize) {
    return refuse(state, tooBigWithIcon());
  }
  std::copy(bytes->begin(), bytes->end(), state.LoadBuffer.begin());
  // The byte read after the end is part of the file as it is sent: 0x00.
  state.LoadBuffer[bytes->size()] = 0x00;
  state.LoadedLength = static_cast<std::int32_t>(bytes->size() + 1);
  state.FileNotReady = false;
  return std::nullopt;
}

void InitSectorMap(DownloadState& state) {
  state.SectorMap = {};
  const std::int32_t whole[] = {0x80000, 0x90000, 0xA0000, -1, 0xC0000, 0xD0000, 0xE0000, -1};
  for (int block = 0; block < 8; ++block) {
    if (whole[block] >= 0) {
      state.SectorMap[static_cast<std::size_t>(block)][0] = {whole[block], whole[block] + 0xFFFF};
    }
  }
  for (const int block : {3, 7}) {
    const std::int32_t base = block == 3 ? 0xB0000 : 0xF0000;
    auto& sectors = state.SectorMap[static_cast<std::size_t>(block)];
    sectors[0] = {base, base + 0x7FFF};
    sectors[1] = {base + 0x8000, base + 0x9FFF};
    sectors[2] = {base + 0xA000, base + 0xBFFF};
    sectors[3] = {base + 0xC000, base + 0xFFFF};
  }
}

int FindSectorBlock(const DownloadState& state, std::int32_t address) {
  for (int block = 0; block < 8; ++block) {
    for (const Sector& sector : state.SectorMap[static_cast<std::size_t>(block)]) {
      if ((sector.first != 0 || sector.last != 0) && address >= sector.first &&
          address <= sector.last) {
        return block;
      }
    }
  }
  return 0;
}

int FindSectorIndex(const DownloadState& state, std::int32_t address) {
  for (const auto& sectors : state.SectorMap) {
    for (int index = 0; index < 4; ++index) {
      const Sector& sector = sectors[static_cast<std::size_t>(index)];
      if ((sector.first != 0 || sector.last != 0) && address >= sector.first &&
          address <= sector.last) {
        return index;
      }
    }
  }
  return 0;
}

void BuildFirmwareImage(DownloadState& state) {
  Bytes& tx = state.TxBuffer;
  std::fill(tx.begin(), tx.begin() + kFirmwareHeaderLength, 0xFF);
  const std::string& text = state.S0HeaderText;
  for (std::size_t i = 0; i < 16; ++i) {
    std::uint8_t character = ' ';
    if (i < text.size() / 2) {
      character = static_cast<std::uint8_t>(
          std::toupper(static_cast<int>(hexAt(text, 2 * i, 2).value_or(' '))));
    }
    tx[32 + i] = character;
  }
  // The version: the two characters after the last "_" of the name, as a
  // decimal number.
  for (std::size_t offset = 48 + 1; offset-- > 32;) {
    if (tx[offset] == '_') {
      int version = 0;
      for (std::size_t digit = offset + 1; digit <= offset + 2 && digit < 58; ++digit) {
        if (!std::isdigit(tx[digit])) {
          break;
        }
        version = version * 10 + (tx[digit] - '0');
      }
      tx[49] = static_cast<std::uint8_t>(version);
      break;
    }
  }

  std::size_t out = kFirmwareHeaderLength;
  const Bytes& image = state.LoadBuffer;
  auto record = [&](std::uint32_t address, std::uint8_t marker, std::uint8_t length,
                    std::uint32_t from) {
    if (out + 6 + length + 6 > tx.size()) {
      return;
    }
    putBigEndian(tx, out, address, 3);
    tx[out + 3] = marker;
    tx[out + 4] = 0x00;
    tx[out + 5] = length;
    out += 6;
    for (std::uint32_t i = 0; i < length && from + i < kTopSectorStart; ++i) {
      tx[out++] = image[from + i];
    }
  };

  if (state.FileTypeToFind == kFirmware16Type) {
    std::uint32_t address = 0;
    for (;;) {
      while (address < kTopSectorStart && image[address] == 0xFF) {
        ++address;
      }
      if (address >= kTopSectorStart) {
        break;
      }
      if (address % 2 != 0) {
        --address;
      }
      record(address, 0, 64, address);
      address += 64;
    }
  } else {
    int lastMarked = 0;
    for (int block = 7; block >= 0; --block) {
      const auto& sectors = state.SectorMap[static_cast<std::size_t>(block)];
      std::int32_t end = sectors[0].last;
      for (const Sector& sector : sectors) {
        if (sector.first != 0 || sector.last != 0) {
          end = std::max(end, sector.last);
        }
      }
      for (std::int32_t chunk = sectors[0].first;
           chunk <= end && chunk < static_cast<std::int32_t>(kTopSectorStart); chunk += 128) {
        const auto begin = image.begin() + chunk;
        if (std::all_of(begin, begin + 128, [](std::uint8_t b) { return b == 0xFF; })) {
          continue;
        }
        std::uint8_t marker = 0;
        if (block != lastMarked) {
          marker = static_cast<std::uint8_t>(block);
          lastMarked = block;
        }
        record(static_cast<std::uint32_t>(chunk) | kFirmware24AddressBits, marker, 128,
               static_cast<std::uint32_t>(chunk));
      }
    }
  }
  const std::uint8_t endRecord[] = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00};
  std::copy(std::begin(endRecord), std::end(endRecord),
            tx.begin() + static_cast<std::ptrdiff_t>(out));
  state.FileLength = static_cast<std::int32_t>(out + 6);
}

Refusal BuildDataImage(DownloadState& state, const std::array<std::string, 129>& CommandList) {
  Bytes& tx = state.TxBuffer;
  const bool messages = state.FileExtension == "msx";
  std::fill(tx.begin(), tx.begin() + 32, 0xFF);
  const std::string name = messages ? "MS0369AA" : "DT0369AA";
  std::copy(name.begin(), name.end(), tx.begin() + 32);
  std::fill(tx.begin() + 40, tx.begin() + 48, 0x20);
  state.FileTypeToFind = messages ? kMessagesType : kDataType;
  tx[48] = 0xFF;

  for (std::size_t slot = 0; slot < 128; ++slot) {
    const std::optional<std::uint32_t> type = hexAt(CommandList[slot], 0, 2);
    if (type && *type == state.FileTypeToFind) {
      const std::uint32_t flags = hexAt(CommandList[slot], 4, 2).value_or(0);
      if ((flags & 0x40) == 0) {
        return refuse(state, notEnabled());
      }
      break;
    }
  }

  std::fill(tx.begin() + 49, tx.begin() + 58, 0xFF);
  tx[58] = 0x00;
  std::fill(tx.begin() + 59, tx.begin() + kDataHeaderLength, 0xFF);
  const std::size_t copied = std::max<std::size_t>(
      1, std::min<std::size_t>(static_cast<std::size_t>(std::max(state.LoadedLength, 0)), 0xFFFFF));
  std::copy_n(state.LoadBuffer.begin(), copied, tx.begin() + kDataHeaderLength);
  state.FileLength = static_cast<std::int32_t>(kDataHeaderLength + copied);
  return std::nullopt;
}

}  // namespace vestrim::transfer
