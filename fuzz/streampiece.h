// The reader's pieces as it once cut them from the stream itself, with
// getline: the reference the block cutter must agree with, byte for byte.
#pragma once

#include <cstdio>
#include <istream>
#include <streambuf>

// Reads one piece of a line, as fgets would with a buffer of size bytes:
// at most size - 1 characters, the line end (LF, or CR LF read as one LF)
// included. Returns the length, or -1 at the end of the file.
inline int streampiece(std::istream& in, char* buf, int size) {
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

// A piece of len characters read with streampiece(in, buf, size) is cut:
// it filled its size - 1 characters before its line end and the file goes on.
inline bool streampiececut(std::istream& in, const char* buf, int len, int size) {
  if (len != size - 1 || buf[len - 1] == '\n') return false;
  std::streambuf* sb = in.rdbuf();
  return sb && sb->sgetc() != std::char_traits<char>::eof();
}

// The reference for a row read from a piece of len characters (-1 at the
// end of the file): its numbers as sscanf converts them, and the count.
inline int sscanfpiece(const char* piece, int len, float v[8]) {
  if (len < 0) return EOF;
  return std::sscanf(piece, "%f %f %f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                     &v[6], &v[7]);
}
