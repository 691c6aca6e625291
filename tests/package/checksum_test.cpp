// The package checksum against its one-byte-per-step definition: check
// values, the table it implies, every split and every alignment.
#include "package/checksum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>
#include "tests/package/checksum_reference.h"

namespace {

uint32_t Reference(uint32_t r, const unsigned char* p, size_t n) {
  return ChecksumReference(r, p, n);
}

uint32_t Of(const std::string& s) { return checksum_update(0, s.data(), static_cast<int>(s.size())); }

std::vector<unsigned char> RandomBytes(size_t n, unsigned key) {
  std::mt19937 gen(key);
  std::vector<unsigned char> v(n);
  for (auto& b : v) b = static_cast<unsigned char>(gen());
  return v;
}

TEST(Checksum, CheckValues) {
  EXPECT_EQ(Of("123456789"), 0x2DFD2D88u);
  EXPECT_EQ(Of("abc"), 0xCA6598D0u);
  EXPECT_EQ(Of(""), 0x00000000u);
  // A single byte from 0 is its table entry.
  EXPECT_EQ(Of(std::string(1, '\x01')), 0x77073096u);
  EXPECT_EQ(Of(std::string(1, '\xFF')), 0x2D02EF8Du);
  // The familiar CRC-32 is this checksum with both inversions put back.
  EXPECT_EQ(checksum_update(0xFFFFFFFFu, "123456789", 9) ^ 0xFFFFFFFFu, 0xCBF43926u);
}

TEST(Checksum, NothingToRunLeavesTheStart) {
  EXPECT_EQ(checksum_update(0x12345678u, nullptr, 10), 0x12345678u);
  EXPECT_EQ(checksum_update(0x12345678u, "abc", 0), 0x12345678u);
  EXPECT_EQ(checksum_update(0x12345678u, "abc", -1), 0x12345678u);
}

// Every length up to several steps of eight, from every start value kind and
// at every alignment of the first byte.
TEST(Checksum, EqualsTheDefinitionForEveryLengthAndAlignment) {
  std::vector<unsigned char> data = RandomBytes(200, 1);
  for (uint32_t start : {0u, 0xFFFFFFFFu, 0x2DFD2D88u}) {
    for (size_t offset = 0; offset < 8; ++offset) {
      for (size_t n = 0; n + offset <= 80; ++n) {
        const unsigned char* p = data.data() + offset;
        ASSERT_EQ(checksum_update(start, p, static_cast<int>(n)), Reference(start, p, n))
            << "start " << start << " offset " << offset << " length " << n;
      }
    }
  }
}

// Chaining: any split of the bytes into blocks gives the value of the whole.
TEST(Checksum, AnyBlockSplitGivesTheSameValue) {
  std::vector<unsigned char> data = RandomBytes(300000, 2);
  const uint32_t whole = Reference(0, data.data(), data.size());
  for (size_t block : {1u, 3u, 7u, 8u, 9u, 4096u, 8192u, 81920u, 300000u}) {
    uint32_t r = 0;
    for (size_t at = 0; at < data.size(); at += block) {
      size_t n = std::min(block, data.size() - at);
      r = checksum_update(r, data.data() + at, static_cast<int>(n));
    }
    EXPECT_EQ(r, whole) << "blocks of " << block;
  }
  std::mt19937 gen(3);
  uint32_t r = 0;
  for (size_t at = 0; at < data.size();) {
    size_t n = std::min<size_t>(gen() % 40, data.size() - at);
    r = checksum_update(r, data.data() + at, static_cast<int>(n));
    at += n;
  }
  EXPECT_EQ(r, whole) << "random blocks";
}

}  // namespace
