#include "transfer/device_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "temp_folder.h"

namespace vestrim::transfer {
namespace {

using testing::TempFolder;

Bytes pattern(std::size_t size, int seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 31 + static_cast<std::size_t>(seed)) % 251);
  }
  return bytes;
}

// Runs a tool that is not ours (binutils, srecord) to make a test file.
void run(const std::string& command) {
  ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
}

class DeviceImages : public ::testing::Test {
 protected:
  std::filesystem::path binary(const std::string& name, const Bytes& data) {
    return folder.write(name, std::string(data.begin(), data.end()));
  }
  std::string path(const std::string& name) const { return (folder.path() / name).string(); }

  TempFolder folder;
  DownloadState state;
};

TEST_F(DeviceImages, SixteenBitFirmwareFromObjcopyPacksEven64ByteRecords) {
  const Bytes data = pattern(300, 1);
  binary("fw.bin", data);
  // objcopy puts the input's name, as given, into the S0 record.
  run("cd " + folder.path().string() +
      " && objcopy -I binary -O srec --change-addresses 0x1001 fw.bin fw.mhx");
  InitSectorMap(state);
  ASSERT_FALSE(LoadSRecordFile(path("fw.mhx"), state));
  EXPECT_FALSE(state.FileNotReady);
  EXPECT_EQ(state.FileTypeToFind, 0xA5);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), state.LoadBuffer.begin() + 0x1001));
  BuildFirmwareImage(state);
  const Bytes& tx = state.TxBuffer;
  // The S0 text of objcopy is the output file's name.
  EXPECT_EQ(std::string(tx.begin() + 32, tx.begin() + 48), "FW.MHX          ");
  EXPECT_EQ(tx[49], 0xFF);
  // The first byte is at an odd address: the record starts one earlier.
  EXPECT_EQ(Bytes(tx.begin() + 58, tx.begin() + 64), (Bytes{0x00, 0x10, 0x00, 0x00, 0x00, 64}));
  EXPECT_EQ(tx[64], 0xFF);
  EXPECT_EQ(tx[65], data[0]);
  // 301 bytes from 0x1000: five records of 64, then the end record.
  const std::size_t end = 58 + 5 * 70;
  EXPECT_EQ(Bytes(tx.begin() + end, tx.begin() + end + 6),
            (Bytes{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}));
  EXPECT_EQ(state.FileLength, static_cast<std::int32_t>(end + 6));
}

TEST_F(DeviceImages, SixteenBitFirmwareKeepsAFirstByteAtAddressZeroBeforeAnErasedOne) {
  Bytes data = pattern(100, 2);
  data[1] = 0xFF;  // an erased-looking byte right after the first
  binary("fw0.bin", data);
  run("cd " + folder.path().string() + " && objcopy -I binary -O srec fw0.bin fw0.mhx");
  InitSectorMap(state);
  ASSERT_FALSE(LoadSRecordFile(path("fw0.mhx"), state));
  BuildFirmwareImage(state);
  const Bytes& tx = state.TxBuffer;
  EXPECT_EQ(Bytes(tx.begin() + 58, tx.begin() + 64), (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 64}));
  EXPECT_EQ(tx[64], data[0]);
  EXPECT_EQ(tx[65], 0xFF);
}

TEST_F(DeviceImages, TwentyFourBitFirmwareDropsTheTopSectorAndMarksItsBlocks) {
  const Bytes data = pattern(300, 2);
  binary("fw.bin", data);
  run("srec_cat " + path("fw.bin") + " -binary -offset 0xFBF80 -o " + path("fw.mhx") +
      " -Motorola -address-length=3 -header AB_12");
  InitSectorMap(state);
  ASSERT_FALSE(LoadSRecordFile(path("fw.mhx"), state));
  EXPECT_EQ(state.FileTypeToFind, 0x01);
  EXPECT_EQ(state.LoadBuffer[0xFBFFF], data[0x7F]);
  EXPECT_EQ(state.LoadBuffer[0xFC000], 0xFF);  // dropped
  BuildFirmwareImage(state);
  const Bytes& tx = state.TxBuffer;
  EXPECT_EQ(std::string(tx.begin() + 32, tx.begin() + 48), "AB_12           ");
  EXPECT_EQ(tx[49], 12);
  // One 128-byte chunk below 0xFC000, in block 7: address or'ed with
  // 0xF00000, marker 7 (it differs from the first marked block, 0).
  EXPECT_EQ(Bytes(tx.begin() + 58, tx.begin() + 64), (Bytes{0xFF, 0xBF, 0x80, 7, 0x00, 128}));
  EXPECT_TRUE(std::equal(tx.begin() + 64, tx.begin() + 64 + 128, data.begin()));
  EXPECT_EQ(state.FileLength, 58 + 134 + 6);
}

TEST_F(DeviceImages, SectorMapFindsBlocksAndSectors) {
  InitSectorMap(state);
  EXPECT_EQ(FindSectorBlock(state, 0x80000), 0);
  EXPECT_EQ(FindSectorBlock(state, 0xBA123), 3);
  EXPECT_EQ(FindSectorIndex(state, 0xBA123), 2);
  EXPECT_EQ(FindSectorBlock(state, 0xFC000), 7);
  EXPECT_EQ(FindSectorIndex(state, 0xFC000), 3);
  EXPECT_EQ(FindSectorBlock(state, 0x1000), 0);
}

TEST_F(DeviceImages, MessageLinesGetTheLanguageTrailerOfTheChosenName) {
  const Bytes data = pattern(40, 4);
  binary("msg.bin", data);
  run("srec_cat " + path("msg.bin") + " -binary -offset 0x10000 -o " + path("AB_IT.msx") +
      " -Motorola -address-length=3 -disable=header -disable=exec-start-address "
      "-disable=data-count");
  // Within a multiple selection the name is bare: its 4th and 5th letters.
  state.DownloadFileName = "AB_IT.msx";
  ASSERT_FALSE(LoadS2LinesFile(path("AB_IT.msx"), state));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), state.LoadBuffer.begin()));
  EXPECT_EQ(state.LoadBuffer[40], 0xFF);
  EXPECT_EQ(state.LoadBuffer[41], 'I');
  EXPECT_EQ(state.LoadBuffer[42], 'T');
  EXPECT_EQ(state.LoadBuffer[43], 0x91);
  EXPECT_EQ(state.LoadedLength, 40 + 1 + 64);
  // Chosen alone, the name is the full path.
  state.DownloadFileName = "C:\\msg\\AB_IT.msx";
  ASSERT_FALSE(LoadS2LinesFile(path("AB_IT.msx"), state));
  EXPECT_EQ(state.LoadBuffer[41], 'm');
  EXPECT_EQ(state.LoadBuffer[42], 's');
  // A name too short for either letter leaves the trailer's filler.
  state.DownloadFileName = "A.m";
  ASSERT_FALSE(LoadS2LinesFile(path("AB_IT.msx"), state));
  EXPECT_EQ(state.LoadBuffer[41], 0x91);
  EXPECT_EQ(state.LoadBuffer[42], 0x91);
}

}  // namespace
}  // namespace vestrim::transfer
