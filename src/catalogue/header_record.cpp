#include "catalogue/header_record.h"

#include <cstdio>

namespace vestrim::catalogue {

bool isSentFileType(std::uint8_t type) {
  return type == kMessagesType || type == kDataType || type == kFirmware24Type ||
         type == kFirmware16Type;
}

std::uint32_t nextAddressOf(HeaderBytes header) {
  if (header[kNextAddressOffset] == 0xFF) {
    return 0;
  }
  std::uint32_t address = 0;
  for (int i = 0; i < 4; ++i) {
    address = (address << 8) | header[static_cast<std::size_t>(kNextAddressOffset + i)];
  }
  return address;
}

std::string fileIdOf(HeaderBytes header) {
  const std::uint32_t number = std::uint32_t{header[kFileNumberOffset + 2]} << 16 |
                               std::uint32_t{header[kFileNumberOffset + 1]} << 8 |
                               std::uint32_t{header[kFileNumberOffset]};
  char text[16];
  std::snprintf(text, sizeof text, "%05u", static_cast<unsigned>(number));
  return text;
}

std::string removeBlanks(std::string name) {
  // Positions are counted from 1 and the limit is the length before any
  // blank is removed, as the device's names have always been shown.
  const std::size_t length = name.size();
  std::size_t i = 1;
  while (length >= 1 && i <= length - 1) {
    const std::size_t blank = i - 1 < name.size() ? name.find(' ', i - 1) : std::string::npos;
    if (blank == std::string::npos) {
      break;
    }
    name.erase(blank, 1);
    i = blank + 1 + 1;
  }
  return name;
}

std::string fileNameOf(HeaderBytes header) {
  std::string name(reinterpret_cast<const char*>(header.data()) + kFileNameOffset, kFileNameLength);
  const std::size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) {
    return {};
  }
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  return removeBlanks(std::move(name));
}

std::string fileStampOf(HeaderBytes header) {
  return std::string(reinterpret_cast<const char*>(header.data()) + kStampOffset, 5);
}

RecordKey recordKey(std::span<const std::uint8_t> code, std::uint8_t type,
                    const std::string& fileId, const std::string& name, const std::string& stamp,
                    std::uint64_t length) {
  std::string header(code.begin(), code.end());
  header += static_cast<char>(type);
  return {header + fileId + "|" + name + "|" + stamp, length};
}

RecordKey recordKey(HeaderBytes header, std::uint64_t length) {
  return recordKey(header.subspan(kFileCodeOffset, kFileTypeOffset - kFileCodeOffset),
                   header[kFileTypeOffset], fileIdOf(header), fileNameOf(header),
                   fileStampOf(header), length);
}

}  // namespace vestrim::catalogue
