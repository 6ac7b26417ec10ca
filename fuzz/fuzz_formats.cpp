// libFuzzer target for scanimport's own readers (Bruker RAW 4 and BRML,
// Rigaku RAS and RASX): whatever bytes a file holds, a reader must return,
// stay inside its buffers, and give ranges whose columns agree in length.
//
// Input: the first byte picks the reader, the rest is what it reads:
//   0 a RAW 4 file, 1 a RAS file, 2 a BRML RawData document, 3 a RASX
//   profile and its measurement conditions (split at the first NUL),
//   4 a BRML archive, 5 a RASX archive.
// The members go in as text, so that the fuzzer need not get through the
// zip archive's checksums to reach the XML and the rows.
//
// Build and run: fuzz/run.sh [seconds].
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/formats.h"
#include "import/readers.h"

namespace {

// A range's columns: as many counts as positions, and factors, times and
// the angles' printed units for every step or for none.
void check(const FileRange& r) {
  size_t n = r.counts.size();
  if (r.x.size() != n) std::abort();
  if (!r.factors.empty() && r.factors.size() != n) std::abort();
  if (!r.times.empty() && r.times.size() != n) std::abort();
  if (!r.units.empty() && r.units.size() != n) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string s(reinterpret_cast<const char*>(data) + 1, size - 1);
  MetaList meta;
  std::vector<FileRange> ranges;
  std::string why;
  bool ok = false;
  switch (data[0] % 6) {
    case 0:
      ok = readraw4(s, meta, ranges, why);
      break;
    case 1:
      ok = readras(s, meta, ranges, why);
      break;
    case 2:
      ok = brmlrawdata(s, meta, ranges, why);
      break;
    case 3: {
      size_t nul = s.find('\0');
      FileRange r;
      std::string profile = s.substr(0, nul),
                  xml = nul == std::string::npos ? "" : s.substr(nul + 1);
      ok = rasxprofile(profile, xml, meta, r, why);
      if (ok) ranges.push_back(r);
      break;
    }
    case 4:
      ok = readbrml(s, meta, ranges, why);
      break;
    default:
      ok = readrasx(s, meta, ranges, why);
      break;
  }
  if (!ok && why.empty()) std::abort();  // a failure says why
  for (const FileRange& r : ranges) check(r);
  detectformat(s);
  return 0;
}
