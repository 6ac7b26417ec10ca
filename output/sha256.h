// SHA-256 (FIPS 180-4), for the run's record of the files it read and wrote.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

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

// The digests of a run's files, taken on a second thread beside the run:
// each file's bytes are copied into a ring of blocks that the thread hashes
// in turn, so the run waits only where the ring is full. Where no thread
// can be started they are hashed as they come.
constexpr int ringblocks = 8;
constexpr std::size_t ringbytes = 32 * 1024;  // a block's
struct FileDigest {
  bool given = false;       // had bytes (else it is the digest of none)
  std::uint32_t h[8] = {};  // the digest
};
struct HashRing {
  // files: how many files are hashed, each named by its index and given
  // in turn; 0 starts no thread
  explicit HashRing(int files);
  ~HashRing();  // ends the thread on every path
  HashRing(const HashRing&) = delete;
  HashRing& operator=(const HashRing&) = delete;
  std::vector<FileDigest> digests;  // one a file: whole after hashfinish
  Sha256 current;                   // the thread's: of file currentfile
  int currentfile = -1;
  std::unique_ptr<char[]> store;      // the blocks' bytes, ringblocks * ringbytes
  int file[ringblocks] = {};          // whose bytes each block holds
  std::size_t held[ringblocks] = {};  // and how many
  std::size_t filling = 0;  // bytes in the block being filled (the next posted), the run's
  long long posted = 0;     // blocks given to the thread, ever
  long long hashed = 0;     // blocks hashed, ever: posted - hashed are waiting
  bool ending = false;      // no more blocks come
  std::mutex lock;          // over posted, hashed and ending
  std::condition_variable filled, freed;
  std::thread hasher;  // not joinable where it could not be started
};

// Gives the thread n bytes of file (an index of ring.digests), after those
// given before; waits while the ring is full. Once a later file is given,
// no more of this one can be.
void hashadd(HashRing& ring, int file, const char* bytes, std::size_t n);

// Waits till every byte given is hashed and ends the thread; then each
// digest in ring.digests is whole.
void hashfinish(HashRing& ring);

// File's digest as 64 lower-case hex digits, after hashfinish.
std::string hashhex(const HashRing& ring, int file);

// Reads from another stream buffer, giving every byte read to a file's
// digest in a ring. It cannot seek, so a reader hands nothing back: every
// byte is read once.
class HashedInput : public std::streambuf {
 public:
  HashedInput(std::streambuf* from, HashRing& hashes, int index)
      : source(from), ring(hashes), file(index) {}

 protected:
  std::streamsize xsgetn(char* bytes, std::streamsize n) override;
  int_type underflow() override;

 private:
  std::streamsize fetch(char* bytes, std::streamsize n);  // from source, hashed
  std::streambuf* source;
  HashRing& ring;
  int file;
  char one = 0;  // the byte underflow read
};

// Writes to another stream buffer, unbuffered (the target buffers),
// giving every byte it takes to a file's digest in a ring.
class HashedOutput : public std::streambuf {
 public:
  HashedOutput(std::streambuf* to, HashRing& hashes, int index)
      : target(to), ring(hashes), file(index) {}

 protected:
  std::streamsize xsputn(const char* bytes, std::streamsize n) override;
  int_type overflow(int_type ch) override;
  int sync() override { return target->pubsync(); }

 private:
  std::streambuf* target;
  HashRing& ring;
  int file;
};
