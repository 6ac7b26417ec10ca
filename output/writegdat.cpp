// GDAT file: a title, a BANK line for a constant step in centidegrees, then
// intensity and sigma pairs, five to a line, read by GSAS as ESD data.
#include <algorithm>
#include <ostream>
#include <string>

#include "output/textfile.h"
#include "output/writers.h"
#include "text/console.h"

bool writegdat(const MergedPattern& pattern, const std::string& title, std::ostream& file,
               FieldCounts& counts) {
  // cols 1-80 title, blank-padded (A80); a longer title is written whole
  if (!writetext(file, "%-80s\n", title.c_str())) return false;
  TextOut out(file, counts);
  int nlines = (pattern.imax - 1) / 5 + 1;  // toward zero: 1 when imax is 0
  // cols 1-7 BANK  1, 9-16 points (I8), 17-24 data lines (I8), 26-30 CONST,
  // 32-41 tthmin and 42-51 tthstep in centidegrees (2F10.2),
  // 53-59 0 0 ESD, blanks to col 80:
  // "BANK  1 %8d%8d CONST %10.2lf%10.2lf 0 0 ESD" and 21 blanks
  puttext(out, "BANK  1 ");
  putcount(out, pattern.imax, 8);
  putcount(out, nlines, 8);
  puttext(out, " CONST ");
  putheader(out, pattern.tthmin * 100, 10, 2);
  putheader(out, pattern.tthstep * 100, 10, 2);
  puttext(out, " 0 0 ESD                     ");
  endline(out);
  for (int first = 0; first < pattern.imax; first += 5) {
    int last = std::min(first + 5, pattern.imax);
    // cols 1-80: up to five pairs of intensity and sigma (10F8.1)
    for (int k = first; k < last; ++k) {
      putreal(out, pattern.inten[k], 8, 1);
      putsigma(out, pattern.sigma[k], 8, 1);
    }
    endline(out);
  }
  return flushtext(out);
}
