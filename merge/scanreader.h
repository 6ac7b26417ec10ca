// The scan file: fourteen header lines, then rows of up to eight numbers.
#pragma once

#include <iosfwd>
#include <memory>

#include "merge/limits.h"

// Stand-ins for a role without a column: no angle, no counts, no time (so
// no dead-time correction), and a constant monitor.
constexpr int zeroslot = 8;
constexpr int monitorslot = 9;

// Where each role's column stands among the first eight names of line 14;
// -1 where no name matched.
struct ScanColumns {
  int n = 0;  // names found, 0 to 8
  int tth = -1;
  int cts = -1;
  int mon = -1;
  int tim = -1;
  int dataline = 15;  // line of the file the rows start on, 1 for the first
  // where readpoint finds each role's value in ScanPoint::val: its column,
  // or the stand-in after the eight columns for a role without one
  int tthat = zeroslot;
  int ctsat = zeroslot;
  int monat = monitorslot;
  int timat = zeroslot;
};

struct ScanPoint {
  // the numbers converted, 32-bit, in column order; then the stand-ins
  float val[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0.0f, fullmonitor};
  int nval = 0;
  float tth = 0;  // deg
  float cts = 0;
  float mon = 0;
  float tim = 0;  // ms
  float sec = 0;  // s, 32-bit: tim / 1000 (set by nextrow)
  // the row as read, LF-ended, where it lies in the block (not
  // NUL-terminated): there until the block is next filled
  const char* line = nullptr;
  int len = 0;
  // a row that filled its piece before its line end, with more of the file
  // after it: its numbers may be cut, so it is not delivered
  bool cut = false;
};

// A scan file read in blocks of up to 128 KiB (on the heap: a small stack
// must do), from which the line pieces are cut; bytes read past the last
// piece are handed back with giveback.
constexpr int blockbytes = 128 * 1024;
struct ScanBlock {
  // bytes: how much is read at a time, 201 to blockbytes (less only in tests)
  explicit ScanBlock(std::istream& file, int bytes = blockbytes);
  std::istream& in;
  int capacity;
  int start = 0;                // where the next piece begins
  int end = 0;                  // bytes held
  bool ended = false;           // the file holds nothing after text[end - 1]
  std::unique_ptr<char[]> buf;  // capacity + 1 bytes
  char* text;                   // buf's bytes; text[end] is NUL
};

// Up to n bytes of in into to; 0 at its end or where a read fails (then
// in is bad).
std::streamsize readblock(std::istream& in, char* to, std::streamsize n);

// A piece of a line, in the block (not NUL-terminated).
struct Piece {
  char* text = nullptr;
  int len = -1;  // -1 at the end of the file
  // filled all its characters before its line end, and the file goes on
  bool cut = false;
};

// Cuts the next piece as fgets with a buffer of size bytes reads it where
// CR LF is one line end: at most size - 1 characters, up to and including
// the line end (LF, or CR LF as one LF, also when the CR is the piece's
// last character). size is at most headerpiece.
Piece cutpiece(ScanBlock& block, int size);

// Hands the bytes read past the last piece back to the stream (moves it
// back to the end of that piece); a stream that cannot seek keeps them.
void giveback(ScanBlock& block);

// Reads lines 1 to 14, echoing lines 11 and 12 to con, and decodes line 14.
// A header line cut at its piece's end is reported to con as it is read.
ScanColumns readheader(ScanBlock& scan, std::ostream& con);
// The same, its warnings ("!!!!!", "HELP!") told on warn instead.
ScanColumns readheader(ScanBlock& scan, std::ostream& con, std::ostream& warn);

// Whether line 14 of the file open on file names a tth column, which no
// output file has there: the file is a scan.
bool hasscanheader(std::istream& file);

// Reads the next data row into pt; false where the data end (pt.cut where
// they end at a row cut short).
bool readpoint(ScanBlock& scan, const ScanColumns& columns, ScanPoint& pt);

// Reads ahead so that the block holds the next n rows whole (or all that
// the file has left): those rows stay where they lie, their pt.line valid,
// until all n are read. n * datapiece must be below the block's size.
void readahead(ScanBlock& scan, int n);

// The data rows of a scan file, handed out one at a time by nextrow.
// Behind it they are read in batches of up to aheadrows, the block holding
// a batch's lines in place, so that the merge's arithmetic on several rows
// overlaps; a row is never read past the rows its caller can take.
constexpr int aheadrows = 16;
static_assert(aheadrows * datapiece < blockbytes, "a batch of rows fits the block");
struct ScanRows {
  // most: how many rows the caller can take, until it says otherwise
  ScanRows(ScanBlock& block, const ScanColumns& columns, long long most)
      : scan(block), cols(columns), left(most) {}
  ScanBlock& scan;
  const ScanColumns& cols;
  long long left;  // rows the caller can still take, less those in the batch
  ScanPoint batch[aheadrows];
  int n = 0;           // rows in the batch
  int next = 0;        // the next one handed out
  bool ended = false;  // the batch ends where the data end
  bool cut = false;    // the data end at a row cut short
};

// The caller can take at most most rows after those handed out: no row past
// them is read from the file.
void takeatmost(ScanRows& rows, long long most);

// Reads the next batch and hands out its first row (see nextrow).
const ScanPoint* nextbatch(ScanRows& rows);

// The next data row; its line stays valid until the next call. nullptr
// where the data end (rows.cut: at a row cut short) or the caller can take
// no more.
inline const ScanPoint* nextrow(ScanRows& rows) {
  if (rows.next < rows.n) return &rows.batch[rows.next++];  // nearly always
  return nextbatch(rows);
}
