// SHA-256 (FIPS 180-4), for the run's record of the files it read and wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string>

// Whether the processor has the SHA instructions (x86-64 only).
bool sha256hardware();

// A digest being taken, fed in pieces of any size.
struct Sha256 {
  std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  unsigned char held[64] = {};  // bytes not yet a whole block
  std::size_t nheld = 0;
  std::uint64_t length = 0;  // bytes fed
  // the processor's SHA instructions where it has them; false: the plain
  // code, which they are proved equal to
  bool hardware = sha256hardware();
};

void sha256add(Sha256& digest, const char* bytes, std::size_t n);

// The digest of everything fed, as 64 lower-case hex digits.
std::string sha256end(Sha256& digest);

// The digest of text as 64 lower-case hex digits.
std::string sha256hex(const std::string& text);

// Reads from another stream buffer, feeding every byte read to a digest. It
// cannot seek, so a reader hands nothing back: every byte is read once.
class HashedInput : public std::streambuf {
 public:
  HashedInput(std::streambuf* from, Sha256& digest) : source(from), hash(digest) {}

 protected:
  std::streamsize xsgetn(char* bytes, std::streamsize n) override;
  int_type underflow() override;

 private:
  std::streamsize fetch(char* bytes, std::streamsize n);  // from source, hashed
  std::streambuf* source;
  Sha256& hash;
  char one = 0;  // the byte underflow read
};

// Writes to another stream buffer, unbuffered (the target buffers),
// feeding every byte it takes to a digest.
class HashedOutput : public std::streambuf {
 public:
  HashedOutput(std::streambuf* to, Sha256& digest) : target(to), hash(digest) {}

 protected:
  std::streamsize xsputn(const char* bytes, std::streamsize n) override;
  int_type overflow(int_type ch) override;
  int sync() override { return target->pubsync(); }

 private:
  std::streambuf* target;
  Sha256& hash;
};
