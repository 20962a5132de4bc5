// Time to build each report for a cycle of 5,000 records, to export it (the
// full report as PDF, the chart as a 1600 x 1000 picture, the samples as
// CSV), and to read and verify 1,000 stored files as the report window
// does. Run by hand:
//   build/default/bin/report_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "long_cycle.h"
#include "record/cycle_file.h"
#include "reports/cycle_chart_data.h"
#include "reports/cycle_csv.h"
#include "reports/cycle_record.h"
#include "reports/cycle_reports.h"
#include "reports/print_layout.h"
#include "reports/render/cycle_chart.h"
#include "reports/render/print_painter.h"
#include "reports/technical_view.h"
#include "shell/language_files.h"
#include "sim/cycle_generator.h"
#include "transfer/seal.h"

namespace {

using namespace vestrim;

constexpr int kRecords = 5000;
constexpr int kFiles = 1000;

struct Words {
  Words() {
    const std::filesystem::path file = std::filesystem::path(VESTRIM_LANG_DIR) / "English.lng";
    if (!shell::LoadLanguageTexts(file, texts) || !shell::LoadLanguageMessages(file, messages)) {
      throw std::runtime_error("cannot read " + file.string());
    }
  }
  shell::LanguageTexts texts;
  shell::LanguageMessages messages;
};

const Words& words() {
  static const Words loaded;
  return loaded;
}

reports::ReportLanguage language() {
  return {words().texts, words().messages, ','};
}

// A generated cycle's record stretched to 5,000 samples 3 s apart (249
// minutes, within what a record can hold), its phases and events repeating.
struct LongCycle {
  LongCycle() {
    const devsim::Bytes device = bench::longCycleFile(kRecords);
    DeviceHeader.assign(device.begin(), device.begin() + 76);
    CycleData.assign(device.begin() + 76, device.end());
    VacuumData = CycleData;
    VacuumData[76] = 13;
  }
  std::string DeviceHeader;
  std::string CycleData;
  std::string VacuumData;
};

const LongCycle& longCycle() {
  static const LongCycle cycle;
  return cycle;
}

// One generated cycle stretched over 5,000 records 3 s apart, as a long
// program records it: each of its records in turn, repeated for its share
// of the time, the repetitions being periodic samples (event 120).
std::string stretchedCycleData() {
  constexpr std::size_t kSummary = 90;
  constexpr std::size_t kSample = 13;
  devsim::content::CycleRequest request;
  request.seed = 4;
  const devsim::Bytes device = devsim::content::generateCycle({}, request).bytes;
  const std::string block(device.begin() + 76, device.end());
  const std::size_t samples = (block.size() - kSummary) / kSample;
  std::string CycleData = block.substr(0, kSummary);
  const auto records = static_cast<std::size_t>(kRecords);
  for (std::size_t i = 0; i < records; ++i) {
    const std::size_t from = i * samples / records;
    std::string record = block.substr(kSummary + from * kSample, kSample);
    record[0] = static_cast<char>((i * 3) & 0xFF);
    record[1] = static_cast<char>((i * 3) >> 8);
    if (i > 0 && (i - 1) * samples / records == from) {
      record[2] = 120;
    }
    CycleData += record;
  }
  return CycleData;
}

template <typename Build>
void buildReport(benchmark::State& state, Build build) {
  std::size_t lines = 0;
  for (auto _ : state) {
    const reports::Report report = build();
    if (!report.ok()) {
      state.SkipWithError(report.reason.c_str());
      return;
    }
    lines = report.lines.size();
    benchmark::DoNotOptimize(report.lines.data());
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void FullViewOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  buildReport(state,
              [&] { return reports::FullView(c.DeviceHeader, c.CycleData, false, language()); });
}
BENCHMARK(FullViewOf5000Records)->Unit(benchmark::kMillisecond);

void FullViewWithAlarmOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  buildReport(state,
              [&] { return reports::FullView(c.DeviceHeader, c.CycleData, true, language()); });
}
BENCHMARK(FullViewWithAlarmOf5000Records)->Unit(benchmark::kMillisecond);

void LittleViewOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  buildReport(state, [&] { return reports::LittleView(c.DeviceHeader, c.CycleData, language()); });
}
BENCHMARK(LittleViewOf5000Records)->Unit(benchmark::kMillisecond);

void VacumTestFullViewOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  buildReport(state,
              [&] { return reports::VacumTestFullView(c.DeviceHeader, c.VacuumData, language()); });
}
BENCHMARK(VacumTestFullViewOf5000Records)->Unit(benchmark::kMillisecond);

void VacumTestLittleViewOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  buildReport(state, [&] {
    return reports::VacumTestLittleView(c.DeviceHeader, c.VacuumData, language());
  });
}
BENCHMARK(VacumTestLittleViewOf5000Records)->Unit(benchmark::kMillisecond);

void TechnicalViewOf5000Lines(benchmark::State& state) {
  std::string body;
  for (int i = 0; i < kRecords; ++i) {
    for (const char c :
         "PT1    134.0\xF8"
         "C    134.3\xF8"
         "C    +0.3   OK\r\n") {
      if (c != '\0') {
        body += static_cast<char>(static_cast<unsigned char>(c) + 100);
      }
    }
  }
  buildReport(state, [&] { return reports::TechnicalView(body); });
}
BENCHMARK(TechnicalViewOf5000Lines)->Unit(benchmark::kMillisecond);

void PrintJobOfTheFullReport(benchmark::State& state) {
  const LongCycle& c = longCycle();
  const reports::Report report = reports::FullView(c.DeviceHeader, c.CycleData, false, language());
  for (auto _ : state) {
    const reports::PrintJob job = reports::printJob(report.lines, ',');
    benchmark::DoNotOptimize(job.pairs.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(report.lines.size()));
}
BENCHMARK(PrintJobOfTheFullReport)->Unit(benchmark::kMillisecond);

// A fresh folder for the benchmarks' files, removed at the end.
class BenchFolder {
 public:
  BenchFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("vestrim-bench-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~BenchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The full report's print job written as a PDF/A file, safely, as Export
// PDF writes it.
void PdfOfTheFullReportOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  const reports::Report report = reports::FullView(c.DeviceHeader, c.CycleData, false, language());
  const reports::PrintJob job = reports::printJob(report.lines, ',');
  const BenchFolder folder;
  const std::filesystem::path file = folder.path() / "report.pdf";
  reports::PdfDocumentInfo info;
  info.title = "bench.dtl";
  for (auto _ : state) {
    if (!reports::render::printJobToPdf(job, file, info)) {
      state.SkipWithError("cannot write the PDF");
      return;
    }
  }
  state.counters["lines"] = static_cast<double>(report.lines.size());
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(file));
}
BENCHMARK(PdfOfTheFullReportOf5000Records)->Unit(benchmark::kMillisecond);

// The chart's data computed and painted into a 1600 x 1000 picture.
void paintChart(benchmark::State& state, const std::string& CycleData) {
  const reports::CycleRecord record =
      reports::decodeCycleRecord(longCycle().DeviceHeader, CycleData).value();
  for (auto _ : state) {
    const QImage image =
        reports::render::chartImage(reports::cycleChart(record, language()), {1600, 1000});
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void ChartOf5000RecordsInto1600x1000(benchmark::State& state) {
  static const std::string stretched = stretchedCycleData();
  paintChart(state, stretched);
}
BENCHMARK(ChartOf5000RecordsInto1600x1000)->Unit(benchmark::kMillisecond);

// The worst case: a cycle's records repeating 16 times over, so that every
// curve crosses the plot's height dozens of times.
void ChartOf5000RepeatingRecordsInto1600x1000(benchmark::State& state) {
  paintChart(state, longCycle().CycleData);
}
BENCHMARK(ChartOf5000RepeatingRecordsInto1600x1000)->Unit(benchmark::kMillisecond);

void CsvOf5000Records(benchmark::State& state) {
  const LongCycle& c = longCycle();
  const reports::CycleRecord record =
      reports::decodeCycleRecord(c.DeviceHeader, c.CycleData).value();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string csv = reports::cycleCsv(record, language());
    bytes = csv.size();
    benchmark::DoNotOptimize(csv.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(CsvOf5000Records)->Unit(benchmark::kMillisecond);

// 1,000 sealed files in a fresh folder, written as saving writes them.
class StoredFiles {
 public:
  StoredFiles() {
    std::vector<devsim::Bytes> cycles;
    for (int code : {0, 1, 3, 6, 9, 12, 13}) {
      devsim::content::CycleRequest request;
      request.cycleCode = code;
      request.seed = static_cast<std::uint64_t>(code) + 100;
      cycles.push_back(devsim::content::generateCycle({}, request).bytes);
    }
    for (int i = 0; i < kFiles; ++i) {
      devsim::Bytes device = cycles[static_cast<std::size_t>(i) % cycles.size()];
      const auto number = static_cast<std::uint32_t>(i + 1);
      device[59] = static_cast<std::uint8_t>(number);
      device[60] = static_cast<std::uint8_t>(number >> 8);
      const transfer::SealResult sealed =
          transfer::ProtectDataLogger(folder_.path(), folder_.path(), device, words().messages);
      if (sealed.file.empty()) {
        throw std::runtime_error("cannot seal: " + sealed.error);
      }
      files_.push_back(sealed.file);
      bytes_ += std::filesystem::file_size(sealed.file);
    }
  }
  const std::vector<std::filesystem::path>& files() const { return files_; }
  std::uintmax_t bytes() const { return bytes_; }

 private:
  BenchFolder folder_;
  std::vector<std::filesystem::path> files_;
  std::uintmax_t bytes_ = 0;
};

StoredFiles* storedFiles = nullptr;

void ReadAndVerify1000StoredFiles(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& file : storedFiles->files()) {
      const record::CycleFile read = record::LeggiFile(file);
      if (!read.showable()) {
        state.SkipWithError(("not showable: " + file.string()).c_str());
        return;
      }
      benchmark::DoNotOptimize(read.CycleData.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kFiles);
  state.SetBytesProcessed(state.iterations() * static_cast<long>(storedFiles->bytes()));
}
BENCHMARK(ReadAndVerify1000StoredFiles)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The painters need Qt Gui; the offscreen platform needs no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  StoredFiles files;
  storedFiles = &files;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
