// The scan file: fourteen header lines, then rows of up to eight numbers.
#pragma once

#include <iosfwd>

constexpr int headerpiece = 200;  // a header line is read 199 characters at a time
constexpr int datapiece = 100;    // a data line 99 at a time

// Where each role's column stands among the first eight names of line 14;
// -1 where no name matched.
struct ScanColumns {
  int n = 0;  // names found, 0 to 8
  int tth = -1;
  int cts = -1;
  int mon = -1;
  int tim = -1;
  int dataline = 15;  // line of the file the rows start on, 1 for the first
};

struct ScanPoint {
  float val[8];  // the numbers converted, 32-bit, in column order
  int nval = 0;
  float tth = 0;  // deg
  float cts = 0;
  float mon = 0;
  float tim = 0;  // ms
  char line[datapiece];  // the row as read, LF-ended, NUL-terminated
  int len = 0;
  // a row that filled its piece before its line end, with more of the file
  // after it: its numbers may be cut, so it is not delivered
  bool cut = false;
};

// Reads one piece of a line, as fgets would with a buffer of size bytes:
// at most size - 1 characters, the line end (LF, or CR LF read as one LF)
// included. Returns the length, or -1 at the end of the file.
int readpiece(std::istream& in, char* buf, int size);

// A piece of len characters read with readpiece(in, buf, size) is cut: it
// filled its size - 1 characters before its line end and the file goes on.
bool piececut(std::istream& in, const char* buf, int len, int size);

// Reads lines 1 to 14, echoing lines 11 and 12 to con, and decodes line 14.
// A header line cut at its piece's end is reported to con as it is read.
ScanColumns readheader(std::istream& scan, std::ostream& con);

// Reads the next data row into pt; false where the data end (pt.cut where
// they end at a row cut short).
bool readpoint(std::istream& scan, const ScanColumns& columns, ScanPoint& pt);
