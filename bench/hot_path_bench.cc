// Microbenchmarks of the hot path, so that a change to one step can be
// judged on its own: translating a line, reading a record, writing an
// entry. Run build-bench/bench/hot_path_bench (see bench/run).
#include <benchmark/benchmark.h>

#include <string>

#include "bibtex/bibtex.h"
#include "convert/translate.h"
#include "export_generator.h"
#include "platform/platform.h"
#include "reader/reader.h"

namespace {

constexpr std::uint32_t kRecords = 10000;

const std::string& generatedExport() {
  static const std::string bytes = [] {
    std::string out;
    for (std::uint32_t i = 0; i < kRecords; ++i) appendRecord(out, i);
    return out;
  }();
  return bytes;
}

// The export being read and the BibTeX file, as a run has them.
ExportReader Reader;
TextOutput Bibtex;
EntryWriter Writer{Bibtex, Reader, false, "Key90"};

// Starts reading the generated export from its beginning.
void openGeneratedExport() {
  Reader = ExportReader{};
  openInputFromMemory(Reader.input, generatedExport());
  readFirstEntry(Reader);
  analyseStructure(Reader);
}

void translateEach(benchmark::State& state, const std::string& text) {
  std::string line;
  std::string scratch;
  for (auto _ : state) {
    line = text;
    translateInto(line, CodePage::kTable, false, line, scratch);
    benchmark::DoNotOptimize(line.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_TranslatePlainLine(benchmark::State& state) {
  translateEach(state, "Grundlagen der Katalogisierung in der Geschichte");
}
BENCHMARK(BM_TranslatePlainLine);

void BM_TranslateAuthorLine(benchmark::State& state) {
  // Three authors, umlauts in code page 437 and in ISO 8859-1.
  translateEach(state, "M\x81ller, J\xFCrgen;Sch\x84" "fer, Anna;Wei\xDF, G\x81nter");
}
BENCHMARK(BM_TranslateAuthorLine);

// Reads the next record, starting the export over (untimed) at its end.
void readRecordRewinding(benchmark::State& state) {
  if (atEnd(Reader.input)) {
    state.PauseTiming();
    openGeneratedExport();
    state.ResumeTiming();
  }
  readNextEntry(Reader);
}

void BM_ReadRecord(benchmark::State& state) {
  openGeneratedExport();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    readRecordRewinding(state);
    bytes += static_cast<std::int64_t>(generatedExport().size() / kRecords);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ReadRecord);

// Opens /dev/null as the BibTeX file, through the same buffered output.
bool writeToDevNull(benchmark::State& state) {
  platform::File devNull = platform::kNoFile;
  if (platform::createForWriting("/dev/null", devNull) != 0) {
    state.SkipWithError("cannot open /dev/null");
    return false;
  }
  attachOutput(Bibtex, devNull, "/dev/null", 256 * 1024);
  return true;
}

// The entry of the first record (an article with four authors), written
// again and again.
void BM_WriteEntry(benchmark::State& state) {
  openGeneratedExport();
  if (!writeToDevNull(state)) return;
  for (auto _ : state) selectEntryTemplate(Writer);
  closeOutput(Bibtex);
}
BENCHMARK(BM_WriteEntry);

// Reading a record and writing its entry, through every entry type.
void BM_ConvertRecord(benchmark::State& state) {
  openGeneratedExport();
  if (!writeToDevNull(state)) return;
  for (auto _ : state) {
    readRecordRewinding(state);
    selectEntryTemplate(Writer);
  }
  closeOutput(Bibtex);
}
BENCHMARK(BM_ConvertRecord);

}  // namespace
