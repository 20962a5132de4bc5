#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vestrim::catalogue {

// The picture of the device that the catalogue walks build: the command
// list, the memory size and one entry per header record of the file chain,
// index k = position in the chain. Entries beyond NumFile keep what an
// earlier walk left; only indices below NumFile (and the end-marker record at
// NumFile) are meaningful.
struct CatalogueTables {
  // Records 0..999: the FileCode table sets the limit of a catalogue.
  static constexpr int kMaxRecords = 1000;
  static constexpr int kFileCodeLength = 16;
  static constexpr int kCommandListEntries = 129;  // 0..127 are searched

  CatalogueTables()
      : FileCodeBytes(kMaxRecords * kFileCodeLength + 1),
        FileType(10001),
        FileId(5001),
        FileName(5001),
        FileStamp(5001),
        NextAddress(10001),
        PrevAddress(10001) {}

  std::vector<std::uint8_t> FileCodeBytes;  // header 32..47 of record k at 16k
  std::vector<std::uint8_t> FileType;       // header 48; 0xFF = not a valid file
  std::vector<std::string> FileId;          // header 59..61 as "00000"
  std::vector<std::string> FileName;        // header 96..115, blanks thinned
  std::vector<std::string> FileStamp;       // header 140..144 as five characters
  std::vector<std::uint32_t> NextAddress;   // header 50..53
  std::vector<std::uint32_t> PrevAddress;   // the header before record k

  int NumFile = 0;         // records read so far (slot index during the command-list walk)
  std::uint32_t P = 0;     // NextAddress of the record just read
  std::uint32_t Pmem = 0;  // the previous record's NextAddress (the loop guard)

  // The device's file types: per slot, the hexadecimal of its bytes 0..5
  // (12 characters) followed by its 16 label characters.
  std::array<std::string, kCommandListEntries> CommandList{};
  std::uint32_t MemorySize = 0;  // flash size in bytes; 0 until read
};

}  // namespace vestrim::catalogue
