#include "merge/scanreader.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <istream>
#include <ostream>
#include <streambuf>

#include "merge/numbers.h"
#include "text/console.h"

ScanBlock::ScanBlock(std::istream& file, int bytes)
    : in(file),
      capacity(std::clamp(bytes, headerpiece + 1, blockbytes)),
      buf(new char[static_cast<std::size_t>(capacity) + 1]),
      text(buf.get()) {
  text[0] = '\0';
}

// Keeps at least size + 1 bytes ahead of start, or all the file has left:
// a whole piece and the byte after it.
static void refill(ScanBlock& b, int size);
static inline void fill(ScanBlock& b, int size) {
  if (b.ended || b.end - b.start > size) return;
  refill(b, size);
}

std::streamsize readblock(std::istream& in, char* to, std::streamsize n) {
  std::streambuf* sb = in.rdbuf();
  if (!sb) return 0;
  // the C++ library reports a failed read (EIO, a vanished disk) by
  // throwing from the file buffer: the scan ends there, its stream bad
  try {
    return sb->sgetn(to, n);
  } catch (const std::exception&) {
    in.setstate(std::ios::badbit);
    return 0;
  }
}

static void refill(ScanBlock& b, int size) {
  int left = b.end - b.start;
  std::memmove(b.text, b.text + b.start, static_cast<std::size_t>(left));
  b.start = 0;
  b.end = left;
  while (!b.ended && b.end - b.start <= size) {
    std::streamsize got = readblock(b.in, b.text + b.end, b.capacity - b.end);
    b.end += static_cast<int>(got);
    b.ended = got == 0;
  }
  b.text[b.end] = '\0';
}

// The piece at the block's start, ended at its first LF, lf, where that
// lies within size - 1 bytes (nullptr where it does not).
static inline Piece cutto(ScanBlock& b, int size, char* lf) {
  Piece piece;
  char* text = b.text + b.start;
  int left = b.end - b.start;
  int most = std::min(left, size - 1);
  int used = most;
  piece.len = most;
  if (lf) {
    used = piece.len = static_cast<int>(lf - text) + 1;
    if (piece.len > 1 && text[piece.len - 2] == '\r') text[--piece.len - 1] = '\n';
  } else if (most == size - 1 && text[most - 1] == '\r' && left > most && text[most] == '\n') {
    text[most - 1] = '\n';  // CR LF across the piece's end: one LF
    used = most + 1;
  }
  b.start += used;
  piece.text = text;
  piece.cut = piece.len == size - 1 && text[piece.len - 1] != '\n' && b.start < b.end;
  return piece;
}

// cutpiece, inlined into the row reader
static inline Piece cut(ScanBlock& b, int size) {
  fill(b, size);
  if (b.end == b.start) return Piece();
  char* text = b.text + b.start;
  std::size_t most = static_cast<std::size_t>(std::min(b.end - b.start, size - 1));
  return cutto(b, size, static_cast<char*>(std::memchr(text, '\n', most)));
}

Piece cutpiece(ScanBlock& b, int size) { return cut(b, size); }

void giveback(ScanBlock& b) {
  std::streambuf* sb = b.in.rdbuf();
  if (sb && b.end > b.start) sb->pubseekoff(b.start - b.end, std::ios::cur, std::ios::in);
  b.start = b.end = 0;
  b.ended = false;
  b.text[0] = '\0';
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

ScanColumns readheader(ScanBlock& scan, std::ostream& con) { return readheader(scan, con, con); }

ScanColumns readheader(ScanBlock& scan, std::ostream& con, std::ostream& warn) {
  Piece piece;
  int fileline = 1;  // as an editor counts: a cut piece starts no new line
  for (int lineno = 1; lineno <= headerlines; ++lineno) {
    piece = cutpiece(scan, headerpiece);
    if (piece.len < 0) break;  // the file ends inside the header: no column line
    if (piece.cut)
      say(warn, "!!!!! Header line %d longer than %d characters: the lines after it shift.\n",
          lineno, headerpiece - 2);
    if (piece.text[piece.len - 1] == '\n') ++fileline;
    if (lineno == 11 || lineno == 12)  // lines 11, 12: sample and conditions
      con.write(piece.text, piece.len);
  }
  char line[headerpiece] = "";
  if (piece.len > 0) {
    std::memcpy(line, piece.text, static_cast<std::size_t>(piece.len));
    line[piece.len] = '\0';
  }
  ScanColumns cols = decodecolumns(line);
  cols.dataline = fileline;
  if (cols.tth >= 0) cols.tthat = cols.tth;
  if (cols.cts >= 0) cols.ctsat = cols.cts;
  if (cols.mon >= 0) cols.monat = cols.mon;
  if (cols.tim >= 0) cols.timat = cols.tim;
  if (cols.tth < 0 || cols.cts < 0 || cols.mon < 0 || cols.tim < 0) {
    say(warn, "HELP! can't decode columns %s\n", line);
  }
  return cols;
}

// A row's piece takes at most datapiece bytes of the file (99 characters
// and the LF of a CR LF), and fill moves the block only where a piece and a
// byte are no longer ahead: with n * datapiece + 1 bytes ahead, n pieces
// are cut before it does.
void readahead(ScanBlock& scan, int n) { fill(scan, n * datapiece); }

// readpoint, inlined into the batch reader: as a call of its own it saves
// and restores registers for every row, 4 % of the largest merge's work
static inline bool readrow(ScanBlock& scan, const ScanColumns& columns, ScanPoint& pt) {
  pt.cut = false;
  if (columns.n == 0) return false;  // no column line, no rows
  // The numbers are converted where the row lies; where they run to its
  // LF within the piece, the piece ends there without a search for it.
  fill(scan, datapiece);
  char* text = scan.text + scan.start;
  const char* stop = text;
  float* v = pt.val;
  int got = scan.end > scan.start ? convertplain(text, v, stop) : notplain;
  bool atlf = got != notplain && *stop == '\n' && stop - text < datapiece - 1;
  Piece piece = atlf ? cutto(scan, datapiece, text + (stop - text)) : cut(scan, datapiece);
  if (piece.len < 0) return false;
  pt.line = piece.text;
  pt.len = piece.len;
  // anything else, eight numbers ended inside the piece aside, is
  // converted again from the piece alone
  if (!atlf && !(got == 8 && stop < piece.text + piece.len)) {
    char line[datapiece];
    std::memcpy(line, piece.text, static_cast<std::size_t>(piece.len));
    line[piece.len] = '\0';
    got = convertrow(line, v);
  }
  if (got < columns.n) return false;  // a trailer ends the data, cut or not
  if (piece.cut) {
    pt.cut = true;
    return false;
  }
  pt.nval = got;
  pt.tth = v[columns.tthat];
  pt.cts = v[columns.ctsat];
  pt.mon = v[columns.monat];
  pt.tim = v[columns.timat];
  return true;
}

bool readpoint(ScanBlock& scan, const ScanColumns& columns, ScanPoint& pt) {
  return readrow(scan, columns, pt);
}

void takeatmost(ScanRows& rows, long long most) { rows.left = most - (rows.n - rows.next); }

const ScanPoint* nextbatch(ScanRows& rows) {
  rows.n = rows.next = 0;
  if (rows.ended || rows.left <= 0) return nullptr;
  int want = static_cast<int>(std::min<long long>(aheadrows, rows.left));
  ScanBlock& scan = rows.scan;
  const ScanColumns cols = rows.cols;  // a copy the loop keeps in registers
  readahead(scan, want);               // their lines stay put till the next batch
  int n = 0;
  for (; n < want && readrow(scan, cols, rows.batch[n]); ++n)
    rows.batch[n].sec = rows.batch[n].tim / 1000.0f;
  rows.n = n;
  rows.left -= n;
  if (n < want) {
    rows.ended = true;
    rows.cut = rows.batch[n].cut;
  }
  return n > 0 ? &rows.batch[rows.next++] : nullptr;
}

bool hasscanheader(std::istream& file) {
  ScanBlock block(file, headerlines * headerpiece);  // the header's pieces at most
  std::ostream nowhere(nullptr);                     // lines 11 and 12 are not echoed
  return readheader(block, nowhere).tth >= 0;
}
