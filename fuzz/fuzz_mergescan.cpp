// libFuzzer target for the scan reader and the merge: whatever bytes a scan
// file holds, mergescan must return, stay inside the grid and its buffers,
// and leave the pattern in a state the later phases can use.
//
// Input: one scan file, or two joined at the first "\n#####\n" (the marker
// belongs to neither file). File 1 fixes the grid; file 2, if present, is
// merged on it as a later file. Where neither file holds a CR, the same
// files with CR LF line ends must give the same console text and pattern.
//
// The first 99 bytes, taken as one data row, must also convert to the same
// count and bits through the reader's fast path as through sscanf. The
// input cut into pieces from small blocks must give the pieces the stream
// reader gives, its rows read there the numbers of those pieces, and its
// first 8 bytes, as a double, a float and an integer, must format as
// snprintf formats them in every field of the output files, counted as the
// writers count them.
//
// This is where the random sweeps of these checks live; the unit tests keep
// the cases worked out by hand. fuzz/corpus holds a few inputs shaped as
// those sweeps shaped theirs: lines just around both piece sizes with CR LF
// at their ends, rows of odd tokens, long plain decimals, halfway values.
//
// Build and run: fuzz/run.sh [seconds].
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "fuzz/streampiece.h"
#include "merge/merged_pattern.h"
#include "merge/numbers.h"
#include "merge/scanreader.h"
#include "output/textfile.h"
#include "output/writers.h"

namespace {

const char separator[] = "\n#####\n";

void check(bool ok) {
  if (!ok) std::abort();
}

bool samebits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool samepattern(const MergedPattern& a, const MergedPattern& b) {
  return a.imax == b.imax && samebits(a.tthmin, b.tthmin) && samebits(a.tthstep, b.tthstep) &&
         std::memcmp(a.cts, b.cts, sizeof a.cts) == 0 &&
         std::memcmp(a.mon, b.mon, sizeof a.mon) == 0;
}

// Nothing may be added at an index above imax.
void checkgrid(const MergedPattern& p) {
  static const float zero[maxpts] = {};
  check(p.imax >= 0 && p.imax < maxpts);
  size_t above = sizeof(float) * static_cast<size_t>(maxpts - 1 - p.imax);
  check(std::memcmp(p.cts + p.imax + 1, zero, above) == 0 &&
        std::memcmp(p.mon + p.imax + 1, zero, above) == 0);
}

// The console text of one file always ends a line.
void checkconsole(const std::string& text) { check(!text.empty() && text.back() == '\n'); }

// Merges file 1 and, if there is one, file 2 on a fresh pattern p; before
// is scratch space. Returns the console text of both.
std::string mergeboth(const std::string& file1, const std::string* file2, MergedPattern& p,
                      MergedPattern& before) {
  p = MergedPattern();
  std::istringstream scan1(file1);
  std::ostringstream con1;
  check(mergescan(p, scan1, 1, con1));
  checkconsole(con1.str());
  checkgrid(p);
  if (!file2) return con1.str();

  before = p;
  std::istringstream scan2(*file2);
  std::ostringstream con2;
  bool merged = mergescan(p, scan2, 2, con2);
  checkconsole(con2.str());
  // a later file never moves the grid, and imax only grows
  check(samebits(p.tthmin, before.tthmin) && samebits(p.tthstep, before.tthstep));
  check(p.imax >= before.imax);
  checkgrid(p);
  // the file is refused at its first row, before anything is added
  if (!merged) check(samepattern(p, before));
  return con1.str() + con2.str();
}

std::string crlf(const std::string& file) {
  std::string out;
  out.reserve(file.size() * 2);
  for (char ch : file) {
    if (ch == '\n') out += '\r';
    out += ch;
  }
  return out;
}

void checkconversion(const std::string& input) {
  char line[100];
  size_t len = input.size() < 99 ? input.size() : 99;
  const void* lf = std::memchr(input.data(), '\n', len);  // a row ends at its first LF
  if (lf) len = static_cast<size_t>(static_cast<const char*>(lf) - input.data()) + 1;
  std::memcpy(line, input.data(), len);
  line[len] = '\0';
  float fast[8], slow[8];
  std::memset(fast, 0x5a, sizeof fast);
  std::memset(slow, 0x5a, sizeof slow);
  int got = convertrow(line, fast);
  check(got == std::sscanf(line, "%f %f %f %f %f %f %f %f", &slow[0], &slow[1], &slow[2], &slow[3],
                           &slow[4], &slow[5], &slow[6], &slow[7]));
  for (int k = 0; k < got; ++k) check(std::memcmp(&fast[k], &slow[k], sizeof(float)) == 0);
}

// Pieces of the header's size first, then of the rows' size, as the reader
// takes them; the block size comes from the first byte.
void checkpieces(const std::string& input) {
  int bytes = headerpiece + 1 + (input.empty() ? 0 : static_cast<unsigned char>(input[0]));
  std::istringstream fast(input), slow(input);
  ScanBlock block(fast, bytes);
  char want[headerpiece];
  for (int k = 0;; ++k) {
    int size = k < 14 ? headerpiece : datapiece;
    Piece got = cutpiece(block, size);
    int len = streampiece(slow, want, size);
    check(got.len == len);
    if (len < 0) break;
    check(std::memcmp(got.text, want, static_cast<size_t>(len)) == 0);
    check(got.cut == streampiececut(slow, want, len, size));
    if (k == 20) break;  // leave the file early, as the merge may
  }
  giveback(block);
  slow.clear();
  check(fast.tellg() == slow.tellg());
}

// Rows converted where they lie in small blocks: each as sscanf converts its
// piece alone, the block left as it was for the next; the block size from
// the second byte.
void checkrows(const std::string& input) {
  int bytes = headerpiece + 1 + (input.size() < 2 ? 0 : static_cast<unsigned char>(input[1]));
  std::istringstream fast(input), slow(input);
  ScanBlock block(fast, bytes);
  std::ostringstream con;
  ScanColumns cols = readheader(block, con);
  if (cols.n == 0) return;  // no column line: no row is read
  char want[headerpiece];
  for (int k = 0; k < 14; ++k) streampiece(slow, want, headerpiece);
  ScanPoint pt;
  for (;;) {
    bool got = readpoint(block, cols, pt);
    int len = streampiece(slow, want, datapiece);
    float v[8];
    int n = sscanfpiece(want, len, v);
    // a row is delivered where its piece is whole and gives every column
    check(got == (n >= cols.n && len > 0 && !streampiececut(slow, want, len, datapiece)));
    if (!got) break;
    check(pt.nval == n);
    check(std::memcmp(pt.val, v, sizeof(float) * static_cast<size_t>(n)) == 0);
    check(pt.len == len && std::memcmp(pt.line, want, static_cast<size_t>(len)) == 0);
  }
  giveback(block);
  slow.clear();
  check(fast.tellg() == slow.tellg());
}

// A field as the writers put it: its text as snprintf writes it, counted
// wide where longer than its width, and, as a sigma, counted zero where a
// reader takes its text for 0.
void checkfield(double value, int width, int decimals) {
  char want[fieldroom + 1];
  int wantlen = std::isfinite(value)
                    ? std::snprintf(want, sizeof want, "%*.*f", width, decimals, value)
                    : std::snprintf(want, sizeof want, "%*s", width,
                                    std::isnan(value) ? "nan"
                                    : value > 0       ? "inf"
                                                      : "-inf");
  std::ostringstream file;
  FieldCounts counts;
  TextOut out(file, counts);
  int len = putsigma(out, value, width, decimals);
  check(flushtext(out));
  check(len == wantlen && file.str() == std::string(want, static_cast<size_t>(wantlen)));
  check(counts.wide == (wantlen > width));
  check(counts.zerosigma == (std::isfinite(value) && std::strtod(want, nullptr) == 0.0));
}

// The first 8 bytes as a double and as a float in every real field of the
// output files, and the first 4 as an integer in every count field.
void checkfields(const std::string& input) {
  if (input.size() < 8) return;
  double d;
  float f;
  std::int32_t n;
  std::memcpy(&d, input.data(), sizeof d);
  std::memcpy(&f, input.data(), sizeof f);
  std::memcpy(&n, input.data(), sizeof n);
  const int formats[][2] = {{8, 1}, {8, 2}, {8, 3}, {10, 2}};
  for (double value : {d, static_cast<double>(f)})
    for (const int* format : formats) checkfield(value, format[0], format[1]);
  for (int width : {7, 8}) {
    char want[16];
    int wantlen = std::snprintf(want, sizeof want, "%*d", width, n);
    std::ostringstream file;
    FieldCounts counts;
    TextOut out(file, counts);
    putcount(out, n, width);
    check(flushtext(out) && file.str() == want && counts.wide == (wantlen > width));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  checkconversion(input);
  checkpieces(input);
  checkrows(input);
  checkfields(input);
  std::string file1 = input, file2;
  bool two = false;
  size_t at = input.find(separator);
  if (at != std::string::npos) {
    file1 = input.substr(0, at);
    file2 = input.substr(at + sizeof separator - 1);
    two = true;
  }

  // 160 KB each, on the heap; allocated once and reset to a fresh pattern
  // for every merge (a new allocation each time costs more than the merge)
  static MergedPattern* const p = new MergedPattern();
  static MergedPattern* const q = new MergedPattern();
  static MergedPattern* const scratch = new MergedPattern();

  std::string con = mergeboth(file1, two ? &file2 : nullptr, *p, *scratch);
  if (input.find('\r') != std::string::npos) return 0;

  // a CR LF line end is read as the LF alone
  std::string file2crlf = crlf(file2);
  std::string concrlf = mergeboth(crlf(file1), two ? &file2crlf : nullptr, *q, *scratch);
  check(con == concrlf);
  check(samepattern(*p, *q));
  return 0;
}
