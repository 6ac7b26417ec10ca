// The zip archives of BRML and RASX, read with libzip: their members and
// their numbered names.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// A zip archive opened once for all its members.
struct ZipArchive {
  struct zip* z = nullptr;                               // libzip's handle; nullptr: none
  size_t size = 0;                                       // bytes, of the whole archive
  std::uint64_t unpacked = 0;                            // bytes, of the members read so far
  std::vector<std::string> names;                        // the members, in the archive's order
  std::unordered_map<std::string, std::uint64_t> index;  // each member's place among them
  ZipArchive() = default;
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;
  ~ZipArchive();
};
// Opens data as a zip archive; false, with why, where it is none or holds
// two members of one name. data must outlive zip.
bool zipopen(const std::string& data, ZipArchive& zip, std::string& why);
// The member's whole content; false, with why, where it is missing or cannot
// be read whole (damaged, larger than the readers take, or a zip bomb).
bool zipread(ZipArchive& zip, const std::string& name, std::string& text, std::string& why);
// The same, each opening the archive anew: its member names, one member.
bool zipnames(const std::string& data, std::vector<std::string>& names, std::string& why);
bool zipmember(const std::string& data, const std::string& name, std::string& text,
               std::string& why);

// n where name is prefix, n (1 to 9 digits) and suffix, else -1: the
// archives' numbered members.
long numbered(const std::string& name, const std::string& prefix, const std::string& suffix);
// The names that number gives an n for (-1: none), with their n, by n.
std::vector<std::pair<long, std::string>> bynumber(const std::vector<std::string>& names,
                                                   long (*number)(const std::string&));
