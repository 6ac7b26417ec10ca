// Wyriet file: the grid on one line, then the intensities as integers,
// eight to a line, read by the Wyriet Rietveld program.
#include <algorithm>
#include <ostream>

#include "output/textfile.h"
#include "output/writers.h"

bool writewyriet(const MergedPattern& pattern, std::ostream& file, FieldCounts& counts) {
  TextOut out(file, counts);
  // cols 1-8 tthmin, 9-16 tthstep, 17-24 tthmax (3F8.3): "%8.3f%8.3f%8.3f"
  putheader(out, pattern.tthmin, 8, 3);
  putheader(out, pattern.tthstep, 8, 3);
  putheader(out, gridangle(pattern, pattern.imax), 8, 3);
  endline(out);
  for (int first = 0; first < pattern.imax; first += 8) {
    int last = std::min(first + 8, pattern.imax);
    // cols 1-64: up to eight intensities, each I7 and a blank ("%7d ")
    for (int k = first; k < last; ++k) {
      putcount(out, roundcount(pattern.inten[k]), 7);
      putblank(out);
    }
    endline(out);
  }
  return flushtext(out);
}
