// Rows per second through the row conversion, readpoint and mergescan, on
// rows shaped like a diffractometer's: "  46.600  336082     418  1500".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "merge/merged_pattern.h"
#include "merge/numbers.h"
#include "merge/scanreader.h"

namespace {

// One scan file of rows rows from 5 deg in steps of 0.005 deg.
std::string scantext(int rows) {
  std::string text;
  for (int k = 1; k <= 13; ++k) text += "header line\n";
  text += "    tth     mon     cts   tim\n";
  char line[64];
  for (int i = 0; i < rows; ++i) {
    std::snprintf(line, sizeof line, "%8.3f%8d%8d%6d\n", 5 + i * 0.005, 336000 + (i * 7919) % 400,
                  400 + (i * 104729) % 600, 1500);
    text += line;
  }
  return text;
}

const char* const samplerows[] = {
    "  46.600  336082     418  1500\n",
    "   5.005  336391    6412  1500\n",
    "  99.995  336000      17  1500\n",
    " 105.000  336204     400  1500\n",
};

void BM_convertrow(benchmark::State& state) {
  float v[8];
  int k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(convertrow(samplerows[k], v));
    benchmark::DoNotOptimize(v);
    k = (k + 1) & 3;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_convertrow);

// What the rows cost through the format alone, for comparison.
void BM_sscanfrow(benchmark::State& state) {
  float v[8];
  int k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::sscanf(samplerows[k], "%f %f %f %f %f %f %f %f", &v[0], &v[1],
                                         &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]));
    benchmark::DoNotOptimize(v);
    k = (k + 1) & 3;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_sscanfrow);

void BM_readpoint(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string text = scantext(rows);
  ScanPoint pt;
  for (auto _ : state) {
    std::istringstream scan(text);
    ScanBlock block(scan);
    std::ostringstream con;
    ScanColumns cols = readheader(block, con);
    int n = 0;
    while (readpoint(block, cols, pt)) ++n;
    if (n != rows) state.SkipWithError("rows lost");
    benchmark::DoNotOptimize(pt);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_readpoint)->Arg(maxpts);

void BM_mergescan(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string text = scantext(rows);
  std::unique_ptr<MergedPattern> p(new MergedPattern());
  for (auto _ : state) {
    std::istringstream scan(text);
    std::ostringstream con;
    mergescan(*p, scan, 1, con);
    if (p->imax != rows - 1) state.SkipWithError("rows lost");
    benchmark::DoNotOptimize(p->cts[rows / 2]);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_mergescan)->Arg(maxpts);

}  // namespace

BENCHMARK_MAIN();
