#include "output/sha256.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <iterator>

#ifndef _WIN32
#include <pthread.h>  // pthread_sigmask
#include <signal.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SHA256_HARDWARE 1
#include <cpuid.h>      // __get_cpuid: whether the processor has them
#include <immintrin.h>  // the SHA, SSSE3 and SSE4.1 instructions
#endif

namespace {

const std::uint32_t roundconst[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// One 64-byte block into the state h. The rounds unrolled, so that the
// eight words are renamed rather than moved, and the schedule kept as the
// last 16 words, computed as the rounds reach them.
inline __attribute__((always_inline)) void compress(std::uint32_t h[8],
                                                    const unsigned char* block) {
  std::uint32_t w[16];
  for (int t = 0; t < 16; ++t) {
    std::uint32_t word;
    std::memcpy(&word, block + 4 * t, 4);
    w[t] = __builtin_bswap32(word);  // big-endian
  }
  std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
#pragma GCC unroll 64
  for (int t = 0; t < 64; ++t) {
    std::uint32_t& wt = w[t % 16];
    if (t >= 16) {  // from the words 16, 15, 7 and 2 before
      std::uint32_t w15 = w[(t + 1) % 16], w2 = w[(t + 14) % 16];
      std::uint32_t s0 = rotr(w15, 7) ^ rotr(w15, 18) ^ (w15 >> 3);
      std::uint32_t s1 = rotr(w2, 17) ^ rotr(w2, 19) ^ (w2 >> 10);
      wt += s0 + w[(t + 9) % 16] + s1;
    }
    std::uint32_t t1 =
        k + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + (g ^ (e & (f ^ g))) + roundconst[t] + wt;
    std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) | (c & (a | b)));
    k = g, g = f, f = e, e = d + t1, d = c, c = b, b = a, a = t1 + t2;
  }
  h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += k;
}

// The plain code, a block at a time.
void plainblocks(std::uint32_t h[8], const unsigned char* bytes, std::size_t blocks) {
  for (std::size_t b = 0; b < blocks; ++b) compress(h, bytes + 64 * b);
}

#ifdef SHA256_HARDWARE
// The same where the processor has BMI2, whose rotation leaves its source
// as it was (rorx): a fifth fewer instructions.
__attribute__((target("bmi2"))) void bmi2blocks(std::uint32_t h[8], const unsigned char* bytes,
                                                std::size_t blocks) {
  for (std::size_t b = 0; b < blocks; ++b) compress(h, bytes + 64 * b);
}

bool hasbmi2() {
  static const bool has = __builtin_cpu_supports("bmi2");  // asked once
  return has;
}
#endif

#ifdef SHA256_HARDWARE
// The same with the processor's SHA instructions, which keep the state as
// ABEF and CDGH and do two rounds at a time; about a twentieth of the plain
// code's instructions.
__attribute__((target("sha,ssse3,sse4.1"))) void hardwareblocks(std::uint32_t h[8],
                                                                const unsigned char* bytes,
                                                                std::size_t blocks) {
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i t = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0xB1);
  __m128i s1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 4)), 0x1B);
  __m128i s0 = _mm_alignr_epi8(t, s1, 8);  // ABEF
  s1 = _mm_blend_epi16(s1, t, 0xF0);       // CDGH
  for (; blocks > 0; --blocks, bytes += 64) {
    const __m128i abef = s0, cdgh = s1;
    __m128i w[4];  // the message schedule, four words at a time, in turn
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
      __m128i& m = w[i % 4];
      if (i < 4) {
        m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * i)),
                             swap);
      } else {  // from the four words 16, 15, 7 and 2 before each
        __m128i x = _mm_sha256msg1_epu32(m, w[(i + 1) % 4]);
        x = _mm_add_epi32(x, _mm_alignr_epi8(w[(i + 3) % 4], w[(i + 2) % 4], 4));
        m = _mm_sha256msg2_epu32(x, w[(i + 3) % 4]);
      }
      __m128i k =
          _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundconst + 4 * i)));
      s1 = _mm_sha256rnds2_epu32(s1, s0, k);
      s0 = _mm_sha256rnds2_epu32(s0, s1, _mm_shuffle_epi32(k, 0x0E));
    }
    s0 = _mm_add_epi32(s0, abef);
    s1 = _mm_add_epi32(s1, cdgh);
  }
  t = _mm_shuffle_epi32(s0, 0x1B);
  s1 = _mm_shuffle_epi32(s1, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_blend_epi16(t, s1, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4), _mm_alignr_epi8(s1, t, 8));
}
#endif

void blocks(Sha256& d, const unsigned char* bytes, std::size_t n) {
#ifdef SHA256_HARDWARE
  if (d.hardware) return hardwareblocks(d.h, bytes, n);
  if (hasbmi2()) return bmi2blocks(d.h, bytes, n);
#endif
  plainblocks(d.h, bytes, n);
}

}  // namespace

// Asks the processor (cpuid leaf 1: ecx bit 9 SSSE3, bit 19 SSE4.1; leaf
// 7: ebx bit 29 SHA).
static bool askprocessor() {
#ifdef SHA256_HARDWARE
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c >> 9 & 1) || !(c >> 19 & 1)) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b >> 29 & 1);
#else
  return false;
#endif
}

bool sha256hardware() {
  static const bool has = askprocessor();  // once: cpuid is slow in a virtual machine
  return has;
}

void sha256add(Sha256& d, const char* text, std::size_t n) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  d.length += n;
  if (d.nheld > 0) {  // first the block begun before
    std::size_t take = std::min(64 - d.nheld, n);
    std::memcpy(d.held + d.nheld, bytes, take);
    d.nheld += take;
    bytes += take;
    n -= take;
    if (d.nheld < 64) return;
    blocks(d, d.held, 1);
    d.nheld = 0;
  }
  blocks(d, bytes, n / 64);
  d.nheld = n % 64;
  std::memcpy(d.held, bytes + n / 64 * 64, d.nheld);
}

// The tail hashed: then d.h is the digest.
static void pad(Sha256& d) {
  // the tail, a 1 bit, zeros, and the length in bits (64-bit, big-endian)
  unsigned char last[128] = {};
  std::memcpy(last, d.held, d.nheld);
  last[d.nheld] = 0x80;
  std::size_t n = d.nheld + 9 > 64 ? 2 : 1;
  std::uint64_t bits = d.length * 8;
  for (int k = 0; k < 8; ++k)
    last[n * 64 - 1 - static_cast<std::size_t>(k)] = static_cast<unsigned char>(bits >> (8 * k));
  blocks(d, last, n);
}

static std::string hexof(const std::uint32_t (&h)[8]) {
  std::string hex;
  for (std::uint32_t word : h) {
    char piece[9];
    std::snprintf(piece, sizeof piece, "%08x", static_cast<unsigned>(word));
    hex += piece;
  }
  return hex;
}

std::string sha256end(Sha256& d) {
  pad(d);
  return hexof(d.h);
}

std::string sha256hex(const std::string& text) {
  Sha256 d;
  sha256add(d, text.data(), text.size());
  return sha256end(d);
}

// The current file's digest is whole.
static void endcurrent(HashRing& r) {
  if (r.currentfile < 0) return;
  pad(r.current);
  FileDigest& d = r.digests[static_cast<std::size_t>(r.currentfile)];
  d.given = true;
  std::copy(std::begin(r.current.h), std::end(r.current.h), std::begin(d.h));
  r.currentfile = -1;
}

// Hashes bytes of file into the current digest; a later file ends the one
// before.
static void hashpiece(HashRing& r, int file, const char* bytes, std::size_t n) {
  if (file != r.currentfile) {
    endcurrent(r);
    r.current = Sha256();
    r.currentfile = file;
  }
  sha256add(r.current, bytes, n);
}

// The thread: hashes each block given, in turn, until no more come.
static void hashblocks(HashRing& r) {
  std::unique_lock<std::mutex> hold(r.lock);
  for (;;) {
    r.filled.wait(hold, [&r] { return r.hashed < r.posted || r.ending; });
    if (r.hashed == r.posted) break;  // ending, every block hashed
    const int at = static_cast<int>(r.hashed % ringblocks);
    hold.unlock();
    hashpiece(r, r.file[at], r.store.get() + at * ringbytes, r.held[at]);
    hold.lock();
    const bool wasfull = r.posted - r.hashed++ == ringblocks;
    if (wasfull) {  // the run may wait for this block: woken, without the lock
      hold.unlock();
      r.freed.notify_one();
      hold.lock();
    }
  }
  endcurrent(r);
}

HashRing::HashRing(int files) : digests(static_cast<std::size_t>(files)) {
  if (files == 0) return;
  store.reset(new char[ringblocks * ringbytes]);
#ifndef _WIN32
  // Started with every signal held back, so that SIGTERM and the like come
  // to the run's own thread: it holds them back while it changes the list of
  // temporary files their handler removes, which a second thread would not.
  sigset_t all, was;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &was);
#endif
  // the library tells a thread it cannot start by throwing: then each
  // file is hashed as it comes
  try {
    hasher = std::thread(hashblocks, std::ref(*this));
  } catch (const std::exception&) {
  }
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &was, nullptr);
#endif
}

HashRing::~HashRing() { hashfinish(*this); }

// Gives the thread the block being filled. It is woken only once half the
// ring waits, so that it hashes several blocks each time it is woken.
static void post(HashRing& r) {
  const int at = static_cast<int>(r.posted % ringblocks);
  r.held[at] = r.filling;
  r.filling = 0;
  bool wake;
  {
    std::lock_guard<std::mutex> hold(r.lock);
    wake = ++r.posted - r.hashed >= ringblocks / 2;
  }
  if (wake) r.filled.notify_one();
}

void hashadd(HashRing& r, int file, const char* bytes, std::size_t n) {
  if (!r.hasher.joinable()) {
    hashpiece(r, file, bytes, n);
    return;
  }
  const int at = static_cast<int>(r.posted % ringblocks);
  if (r.filling > 0 && r.file[at] != file) post(r);  // a block holds one file's bytes
  while (n > 0) {
    const int next = static_cast<int>(r.posted % ringblocks);
    if (r.filling == 0) {  // a block begun: once the thread has hashed what it held
      std::unique_lock<std::mutex> hold(r.lock);
      r.freed.wait(hold, [&r] { return r.posted - r.hashed < ringblocks; });
      r.file[next] = file;
    }
    const std::size_t take = std::min(n, ringbytes - r.filling);
    std::memcpy(r.store.get() + next * ringbytes + r.filling, bytes, take);
    r.filling += take;
    bytes += take;
    n -= take;
    if (r.filling == ringbytes) post(r);
  }
}

void hashfinish(HashRing& r) {
  if (!r.hasher.joinable()) {
    endcurrent(r);
    return;
  }
  if (r.filling > 0) post(r);
  {
    std::lock_guard<std::mutex> hold(r.lock);
    r.ending = true;
  }
  r.filled.notify_one();
  r.hasher.join();
}

std::string hashhex(const HashRing& r, int file) {
  const FileDigest& d = r.digests[static_cast<std::size_t>(file)];
  return d.given ? hexof(d.h) : sha256hex("");
}

std::streamsize HashedInput::fetch(char* bytes, std::streamsize n) {
  std::streamsize got = source->sgetn(bytes, n);
  if (got > 0) hashadd(ring, file, bytes, static_cast<std::size_t>(got));
  return got;
}

std::streamsize HashedInput::xsgetn(char* bytes, std::streamsize n) {
  if (n <= 0) return 0;
  if (gptr() == egptr()) return fetch(bytes, n);
  *bytes = *gptr();  // the byte underflow read, hashed then
  gbump(1);
  std::streamsize got = fetch(bytes + 1, n - 1);
  return 1 + (got > 0 ? got : 0);
}

HashedInput::int_type HashedInput::underflow() {
  if (fetch(&one, 1) != 1) return traits_type::eof();
  setg(&one, &one, &one + 1);
  return traits_type::to_int_type(one);
}

std::streamsize HashedOutput::xsputn(const char* bytes, std::streamsize n) {
  std::streamsize put = target->sputn(bytes, n);
  if (put > 0) hashadd(ring, file, bytes, static_cast<std::size_t>(put));
  return put;
}

HashedOutput::int_type HashedOutput::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  char c = traits_type::to_char_type(ch);
  return xsputn(&c, 1) == 1 ? ch : traits_type::eof();
}
