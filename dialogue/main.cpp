// scanmerge: merges powder diffraction step scans onto one 2theta grid,
// normalises them and writes them for refinement programs.
#include <iostream>
#include <memory>
#include <new>

#include "dialogue/dialogue.h"
#include "merge/console.h"

int main() {
  std::ios::sync_with_stdio(false);
  std::istream& in = std::cin;
  std::ostream& con = std::cout;

  std::unique_ptr<MergedPattern> pattern(new (std::nothrow) MergedPattern());
  if (!pattern) {
    say(con, "allocation error\n");
    return 0;
  }
  MergedPattern& p = *pattern;

  banner(con);
  if (!readscans(p, in, con)) return 0;
  summary(p, con);
  // normalisation, the EIV correction and the output files follow here
  return 1;
}
