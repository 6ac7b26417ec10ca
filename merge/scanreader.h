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
};

// Reads one piece of a line, as fgets would with a buffer of size bytes:
// at most size - 1 characters, the line end (LF, or CR LF read as one LF)
// included. Returns the length, or -1 at the end of the file.
int readpiece(std::istream& in, char* buf, int size);

// Reads lines 1 to 14, echoing lines 11 and 12 to con, and decodes line 14.
ScanColumns readheader(std::istream& scan, std::ostream& con);

// Reads the next data row into pt; false where the data end.
bool readpoint(std::istream& scan, const ScanColumns& columns, ScanPoint& pt);
