#include "merge/scanreader.h"

#include <cstring>
#include <istream>
#include <ostream>
#include <streambuf>

#include "merge/console.h"
#include "merge/numbers.h"

int readpiece(std::istream& in, char* buf, int size) {
  // getline finds the LF in the stream's buffer in bulk; it stores one byte
  // less than the piece holds, so a CR LF at the piece's end still folds
  in.getline(buf, size - 1);
  int len = static_cast<int>(in.gcount());
  if (in.fail() && len > 0) {  // size - 2 bytes and no LF yet: one more byte
    in.clear();
    std::streambuf* sb = in.rdbuf();
    int ch = sb->sbumpc();
    if (ch == '\r' && sb->sgetc() == '\n') ch = sb->sbumpc();
    if (ch != std::char_traits<char>::eof()) buf[len++] = static_cast<char>(ch);
  } else if (len > 0 && !in.eof()) {  // the LF was taken and counted
    if (len > 1 && buf[len - 2] == '\r') --len;
    buf[len - 1] = '\n';
  }
  buf[len] = '\0';
  return len > 0 ? len : -1;
}

bool piececut(std::istream& in, const char* buf, int len, int size) {
  if (len != size - 1 || buf[len - 1] == '\n') return false;
  std::streambuf* sb = in.rdbuf();
  return sb && sb->sgetc() != std::char_traits<char>::eof();
}

static bool labelled(const char* name, const char* lower, const char* upper) {
  return std::strncmp(name, lower, 3) == 0 || std::strncmp(name, upper, 3) == 0;
}

// Line 14 names the columns; a name is known by its first three characters.
static ScanColumns decodecolumns(const char* line) {
  ScanColumns cols;
  const char* p = line;
  while (cols.n < 8) {
    while (*p && isspace_c(*p)) ++p;
    if (!*p) break;
    const char* name = p;
    while (*p && !isspace_c(*p)) ++p;
    if (p - name >= 3) {
      if (labelled(name, "tth", "TTH")) cols.tth = cols.n;
      if (labelled(name, "cts", "CTS")) cols.cts = cols.n;
      if (labelled(name, "mon", "MON")) cols.mon = cols.n;
      if (labelled(name, "tim", "TIM")) cols.tim = cols.n;
    }
    ++cols.n;
  }
  return cols;
}

ScanColumns readheader(std::istream& scan, std::ostream& con) {
  char line[headerpiece];
  int len = 0;
  int fileline = 1;  // as an editor counts: a cut piece starts no new line
  for (int lineno = 1; lineno <= 14; ++lineno) {
    len = readpiece(scan, line, headerpiece);
    if (len < 0) {  // the file ends inside the header: no column line
      len = 0;
      line[0] = '\0';
      break;
    }
    if (piececut(scan, line, len, headerpiece))
      say(con, "!!!!! Header line %d longer than 198 characters: the lines after it shift.\n",
          lineno);
    if (line[len - 1] == '\n') ++fileline;
    if (lineno == 11 || lineno == 12)  // lines 11, 12: sample and conditions
      con.write(line, len);
  }
  ScanColumns cols = decodecolumns(line);
  cols.dataline = fileline;
  if (cols.tth < 0 || cols.cts < 0 || cols.mon < 0 || cols.tim < 0) {
    say(con, "HELP! can't decode columns %s\n", line);
  }
  return cols;
}

bool readpoint(std::istream& scan, const ScanColumns& columns, ScanPoint& pt) {
  pt.cut = false;
  if (columns.n == 0) return false;  // no column line, no rows
  pt.len = readpiece(scan, pt.line, datapiece);
  if (pt.len < 0) return false;
  float* v = pt.val;
  int got = convertrow(pt.line, v);
  if (got < columns.n) return false;  // a trailer ends the data, cut or not
  if (piececut(scan, pt.line, pt.len, datapiece)) {
    pt.cut = true;
    return false;
  }
  pt.nval = got;
  // Stand-ins for a role without a column: no angle, no counts, no time
  // (so no dead-time correction), and a constant monitor.
  pt.tth = columns.tth >= 0 ? v[columns.tth] : 0.0f;
  pt.cts = columns.cts >= 0 ? v[columns.cts] : 0.0f;
  pt.mon = columns.mon >= 0 ? v[columns.mon] : 1000000.0f;
  pt.tim = columns.tim >= 0 ? v[columns.tim] : 0.0f;
  return true;
}
