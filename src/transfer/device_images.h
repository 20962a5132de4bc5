#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/prompts.h"
#include "transfer/download_state.h"

// The files that can be sent to the device, and the images built from them:
//   firmware ".mhx" (S-records) -> 58-byte header, packed records, end record
//   messages ".msx" (S2 lines), data ".dat", datalogger ".dtl" and raw "mes"
//                                -> 76-byte header, then the payload
// Each loader either fills the state and clears FileNotReady, or sets it and
// gives the message that tells the user why.
namespace vestrim::transfer {

using Refusal = std::optional<platform::Message>;

Refusal LoadSRecordFile(const std::filesystem::path& file, DownloadState& state);
Refusal LoadS2LinesFile(const std::filesystem::path& file, DownloadState& state);
Refusal LoadRecordFile(const std::filesystem::path& file, DownloadState& state);
Refusal LoadRawFile(const std::filesystem::path& file, DownloadState& state);

void InitSectorMap(DownloadState& state);
// The block (0-7) and the sector (0-3) whose range holds `address`: the
// first match, blocks in order, then sectors; 0 when none.
int FindSectorBlock(const DownloadState& state, std::int32_t address);
int FindSectorIndex(const DownloadState& state, std::int32_t address);

void BuildFirmwareImage(DownloadState& state);
// Checks that the device accepts files of the image's type (bit 0x40 of the
// flags of its command-list slot; a type without a slot may be sent) and
// builds the data image.
Refusal BuildDataImage(DownloadState& state, const std::array<std::string, 129>& CommandList);

// The messages of the loaders and the download.
platform::Message fileNotCorrect();
platform::Message tooBigWithIcon();
platform::Message tooBig();
platform::Message notEnabled();

}  // namespace vestrim::transfer
