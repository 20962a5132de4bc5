// The archive at clinic scale: seals N cycle files (20,000 by default) as a
// save does, journal and all, then times the search index's first build, a
// refresh with nothing changed, a search, and a full archive check. Run by
// hand: archive_bench [--files N] [--folder DIR] [--keep]; a folder that
// holds a journal already is timed as it stands, with a new index.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>

#include "archive/archive_check.h"
#include "archive/journal.h"
#include "archive/search_index.h"
#include "sim/cycle_generator.h"
#include "transfer/seal.h"

namespace {

namespace fs = std::filesystem;
using namespace vestrim;

// The processor time of the last timed work: on a machine shared with
// other work the wall time alone says little.
double lastCpu = 0;

double seconds(const std::function<void()>& work) {
  const std::clock_t cpu = std::clock();
  const auto start = std::chrono::steady_clock::now();
  work();
  lastCpu = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void line(const char* what, double taken, double target) {
  std::printf("%-34s %9.3f s  (processor %.3f s; target < %.1f s)%s\n", what, taken, lastCpu,
              target, taken < target ? "" : "   OVER");
}

// Seals `count` cycles: sixteen programs' records, numbered on, spread over
// the days of four years, one in twelve with an alarm.
void sealArchive(const fs::path& program, int count) {
  std::vector<devsim::Bytes> templates;
  for (int code = 0; code < 16; ++code) {
    devsim::content::CycleRequest request;
    request.cycleCode = code;
    request.seed = static_cast<std::uint64_t>(code) + 7;
    templates.push_back(devsim::content::generateCycle({}, request).bytes);
  }
  for (int i = 0; i < count; ++i) {
    devsim::Bytes device = templates[static_cast<std::size_t>(i) % templates.size()];
    const auto number = static_cast<std::uint32_t>(1000 + i);
    device[59] = static_cast<std::uint8_t>(number);
    device[60] = static_cast<std::uint8_t>(number >> 8);
    device[61] = static_cast<std::uint8_t>(number >> 16);
    const int day = i / 14;  // fourteen cycles a day
    device[140] = static_cast<std::uint8_t>(7 + i % 14);
    device[142] = static_cast<std::uint8_t>(1 + day % 28);
    device[143] = static_cast<std::uint8_t>(1 + day / 28 % 12);
    device[144] = static_cast<std::uint8_t>(22 + day / (28 * 12));
    // The cycle ends an hour after it starts, on the same day.
    for (std::size_t field = 0; field < 5; ++field) {
      device[145 + field] = static_cast<std::uint8_t>(device[140 + field] + (field == 0 ? 1 : 0));
    }
    device[150] = static_cast<std::uint8_t>(i % 12 == 5 ? 10 : 0);
    char month[16];
    std::snprintf(month, sizeof month, "20%02d/%02d", device[144], device[143]);
    fs::create_directories(program / month);
    const transfer::SealResult sealed =
        transfer::ProtectDataLogger(program, program / month, device, {});
    if (sealed.file.empty()) {
      throw std::runtime_error("cannot seal: " + sealed.error);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Times the archive's search index and check over N sealed files"};
  int files = 20000;
  std::string folder;
  bool keep = false;
  app.add_option("--files", files, "How many sealed files")->check(CLI::PositiveNumber);
  app.add_option("--folder", folder, "The program folder to fill (default: a new temporary one)");
  app.add_flag("--keep", keep, "Keep the folder afterwards");
  CLI11_PARSE(app, argc, argv);

  std::random_device random;
  const fs::path program =
      folder.empty()
          ? fs::temp_directory_path() / ("vestrim-archive-bench-" + std::to_string(random()))
          : fs::path(folder);
  const fs::path cache = program.string() + "-cache";
  fs::create_directories(program);
  const fs::path indexFile = archive::SearchIndex::indexFile(cache, program);
  std::printf("%d sealed files in %s\n", files, program.c_str());

  if (!fs::exists(program / archive::kJournalFileName)) {
    std::printf("%-34s %9.3f s\n", "sealing (journal included)",
                seconds([&] { sealArchive(program, files); }));
  }
  fs::remove_all(cache);

  std::string error;
  std::unique_ptr<archive::SearchIndex> index;
  std::optional<archive::RefreshCounts> counts;
  line("index: first build", seconds([&] {
         index = archive::SearchIndex::open(indexFile, program, error);
         counts = index ? index->refresh(error) : std::nullopt;
       }),
       5.0);
  if (!counts || counts->read != static_cast<std::size_t>(files)) {
    std::fprintf(stderr, "index build failed: %s\n", error.c_str());
    return 1;
  }
  line("index: refresh, nothing changed", seconds([&] { counts = index->refresh(error); }), 0.5);
  index.reset();
  line("index: open and refresh again", seconds([&] {
         index = archive::SearchIndex::open(indexFile, program, error);
         counts = index->refresh(error);
       }),
       0.5);

  archive::SearchFilter filter;
  filter.from = "2023-01-01";
  filter.to = "2023-06-30";
  filter.program = "134";
  filter.result = archive::ResultFilter::Alarm;
  std::size_t found = 0;
  line("search (dates, program, alarm)",
       seconds([&] { found = index->search(filter, error).size(); }), 0.1);
  archive::SearchFilter byName;
  byName.name = "wrapped";
  line("search (part of the file name)",
       seconds([&] { found += index->search(byName, error).size(); }), 0.1);
  archive::SearchFilter everything;
  line("search (every cycle)", seconds([&] { found += index->search(everything, error).size(); }),
       0.1);
  std::printf("%zu cycles found in all\n", found);

  std::optional<archive::ArchiveCheck> check;
  line("check: every file", seconds([&] { check = archive::checkArchive(program); }), 10.0);
  std::printf("%zu files: %zu intact, journal of %zu entries, %zu gaps\n", check->files.size(),
              check->count(archive::FileState::Intact), check->journalEntries, check->gaps.size());

  if (!keep) {
    fs::remove_all(program);
    fs::remove_all(cache);
  }
  return check->passed() ? 0 : 1;
}
