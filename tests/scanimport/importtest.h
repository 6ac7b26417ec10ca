// Helpers for the scanimport tests: a fresh folder per test, in-process runs,
// and scan files read back with scanmerge's own reader.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "merge/scanreader.h"
#include "scanimport.h"
#include "tests/helpers.h"

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out, err;
};

// A fresh, empty folder named after the running test.
inline fs::path workdir() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  fs::path dir =
      fs::path(IMPORT_WORK) / (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir / "out");
  return dir;
}

// scanimport -o DIR/out ARGS..., in-process
inline Result run(const fs::path& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"-o", (dir / "out").string()});
  std::ostringstream out, err;
  int status = scanimport(args, out, err);
  return {status, out.str(), err.str()};
}

struct Scan {
  std::vector<std::string> lines;  // the fourteen header lines
  std::vector<ScanPoint> rows;
};

// Reads a scan file as scanmerge does, checking the layout on the way:
// LF line ends, no line over 98 characters, line 14 the four columns.
inline Scan readscan(const fs::path& file) {
  std::string text = slurp(file);
  EXPECT_EQ(text.find('\r'), std::string::npos) << file;
  Scan s;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_LE(line.size(), 98u) << file << ": " << line;
    if (s.lines.size() < 14) s.lines.push_back(line);
  }
  EXPECT_EQ(s.lines.size(), 14u) << file;
  if (s.lines.size() == 14) {
    EXPECT_EQ(s.lines[13], "tth cts mon tim") << file;
  }
  std::istringstream in(text);
  ScanBlock block(in);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  ScanPoint pt;
  while (readpoint(block, cols, pt)) s.rows.push_back(pt);
  return s;
}

// Bruker RAW version 3, little-endian, fields at their documented offsets:
// a 712-byte file header, then per range a 304-byte header and its counts
// as 32-bit floats.
struct RawRange {
  double start, step;  // 2theta, deg
  float time;          // s per step
  std::vector<float> counts;
  double omega = NAN;  // deg at the start; NaN: start / 2, a coupled scan
};

template <typename T>
void poke(std::string& b, size_t at, T v) {
  unsigned char bytes[sizeof v];
  std::memcpy(bytes, &v, sizeof v);  // the test machines are little-endian
  for (size_t i = 0; i < sizeof v; ++i) b[at + i] = static_cast<char>(bytes[i]);
}

inline void poke(std::string& b, size_t at, const std::string& s) { b.replace(at, s.size(), s); }

inline std::string rawv3(const std::vector<RawRange>& ranges, const std::string& sample) {
  std::string b(712, '\0');
  poke(b, 0, std::string("RAW1.01"));
  poke(b, 8, std::uint32_t{1});  // done
  poke(b, 12, static_cast<std::uint32_t>(ranges.size()));
  poke(b, 16, std::string("12/08/26"));
  poke(b, 26, std::string("07:45:00"));
  poke(b, 326, sample);
  poke(b, 608, std::string("Cu"));
  poke(b, 624, 1.5406);  // alpha1
  for (const RawRange& r : ranges) {
    std::string h(304, '\0');
    poke(h, 0, std::uint32_t{304});
    poke(h, 4, static_cast<std::uint32_t>(r.counts.size()));
    poke(h, 8, std::isnan(r.omega) ? r.start / 2 : r.omega);
    poke(h, 16, r.start);
    poke(h, 176, r.step);
    poke(h, 192, r.time);
    poke(h, 224, std::uint32_t{40});  // kV
    poke(h, 228, std::uint32_t{30});  // mA
    poke(h, 240, 1.5406);
    b += h;
    for (float c : r.counts) {
      std::string v(4, '\0');
      poke(v, 0, c);
      b += v;
    }
  }
  return b;
}
