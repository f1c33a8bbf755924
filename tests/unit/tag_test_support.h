// Helpers for the tag tests: a scratch folder, whole-file reads and writes,
// and builders of ID3v2 headers and frames.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ostream>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tags/bytes.h"

namespace tagtest {

using tags::Bytes;

// A fresh folder below the system's temporary folder, removed with its content.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // Several builds may run the same tests at once: the name carries a random part.
    std::string name = std::string("tagwright-") + (info ? info->name() : "test") + "-" +
                       std::to_string(std::random_device{}());
    for (char& c : name)
      if (c == '/') c = '_';
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // A path inside the folder, as the tag objects take it.
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline Bytes ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Something that stands for audio: every byte value, in an order that does
// not start with "ID3" or end with "TAG".
inline Bytes Audio(size_t size, uint8_t seed = 1) {
  Bytes out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>((i * 7 + seed) & 0xFF);
  return out;
}

inline Bytes SyncSafe(uint32_t v) {
  return {static_cast<uint8_t>((v >> 21) & 0x7F), static_cast<uint8_t>((v >> 14) & 0x7F),
          static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F)};
}

inline Bytes BigEndian(uint32_t v, int width) {
  Bytes out;
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return out;
}

// A tag header whose size field says `bodySize`.
inline Bytes Header(uint8_t version, uint8_t flags, uint32_t bodySize) {
  return Cat({Text("ID3"), {version, 0, flags}, SyncSafe(bodySize)});
}

inline Bytes FrameV2(std::string_view id, const Bytes& data) {
  return Cat({Text(id), BigEndian(static_cast<uint32_t>(data.size()), 3), data});
}

inline Bytes FrameV3(std::string_view id, const Bytes& data, uint8_t status = 0,
                     uint8_t format = 0) {
  return Cat({Text(id), BigEndian(static_cast<uint32_t>(data.size()), 4), {status, format}, data});
}

// A 2.4 frame; its size synchsafe unless `plainSize` (as some writers do).
inline Bytes FrameV4(std::string_view id, const Bytes& data, uint8_t status = 0, uint8_t format = 0,
                     bool plainSize = false) {
  const auto size = static_cast<uint32_t>(data.size());
  return Cat({Text(id), plainSize ? BigEndian(size, 4) : SyncSafe(size), {status, format}, data});
}

// A whole tag: header, frames, then zero padding.
inline Bytes Tag(uint8_t version, const Bytes& frames, size_t padding = 0, uint8_t flags = 0) {
  Bytes body = frames;
  body.resize(body.size() + padding, 0);
  return Cat({Header(version, flags, static_cast<uint32_t>(body.size())), body});
}

// Text frame data in ISO-8859-1 (encoding byte 0).
// Unsynchronisation as a writer applies it, for building inputs: a zero byte
// after every FF that precedes a zero, a byte of E0 or above, or the end. The
// reader's own test spells such bytes out by hand.
inline Bytes Unsynchronise(const Bytes& data) {
  Bytes out;
  for (size_t i = 0; i < data.size(); ++i) {
    out.push_back(data[i]);
    const bool last = i + 1 == data.size();
    if (data[i] == 0xFF && (last || data[i + 1] == 0x00 || data[i + 1] >= 0xE0)) out.push_back(0);
  }
  return out;
}

inline Bytes Latin1(std::string_view text) { return Cat({{0}, Text(text)}); }

// A frame of a written 2.3 tag.
struct Frame {
  std::string id;
  std::array<uint8_t, 2> flags;
  Bytes data;
  bool operator==(const Frame&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Frame& f) {
  out << f.id << " flags " << int{f.flags[0]} << "/" << int{f.flags[1]} << " data";
  for (size_t i = 0; i < f.data.size() && i < 48; ++i)
    out << ' ' << std::hex << int{f.data[i]} << std::dec;
  return out;
}

// A 2.3 tag at the start of `file`, taken apart by the standard's rules.
struct WrittenTag {
  int64_t total = 0;
  std::vector<Frame> frames;
  size_t padding = 0;
};

inline WrittenTag Parse23(const Bytes& file) {
  WrittenTag tag;
  EXPECT_GE(file.size(), 10u);
  if (file.size() < 10) return tag;
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{'I', 'D', '3', 3, 0, 0}));
  for (int i = 6; i < 10; ++i) EXPECT_LT(file[i], 0x80);
  tag.total = 10 + (int64_t{file[6]} << 21 | file[7] << 14 | file[8] << 7 | file[9]);
  size_t at = 10;
  while (at + 10 <= static_cast<size_t>(tag.total) && file[at] != 0) {
    Frame f;
    f.id.assign(file.begin() + at, file.begin() + at + 4);
    const size_t size =
        size_t{file[at + 4]} << 24 | file[at + 5] << 16 | file[at + 6] << 8 | file[at + 7];
    f.flags = {file[at + 8], file[at + 9]};
    f.data.assign(file.begin() + at + 10, file.begin() + at + 10 + size);
    tag.frames.push_back(f);
    at += 10 + size;
  }
  for (size_t i = at; i < static_cast<size_t>(tag.total); ++i) EXPECT_EQ(file[i], 0) << i;
  tag.padding = static_cast<size_t>(tag.total) - at;
  return tag;
}

inline Bytes Tail(const Bytes& file, int64_t from) { return Bytes(file.begin() + from, file.end()); }

}  // namespace tagtest
