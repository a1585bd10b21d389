// The committed pictures decode, and mutated or truncated files never do harm: a known code or success.
#include <gtest/gtest.h>

#include "png_test_util.h"
#include "render/png_decoder.h"

using namespace png_test;

namespace {

void expectSafe(const Bytes& file, const std::string& what) {
  std::vector<std::uint8_t> out;
  std::uint32_t w = 0, h = 0;
  int code = VexBlit::decodePng(out, w, h, file.data(), file.size());
  ASSERT_TRUE(isKnownResult(code)) << what << ": code " << code;
  if (code == 0) {
    ASSERT_EQ(out.size(), std::size_t(w) * h * 4) << what;
  }
}

// Small files of several formats, written by libpng, to mutate alongside the pictures.
std::vector<Bytes> sampleFiles() {
  std::mt19937 random(42);
  std::vector<Bytes> files;
  const int formats[][2] = {{6, 8}, {3, 4}, {0, 16}, {2, 8}, {4, 8}, {0, 1}};
  for (const auto& f : formats) {
    Picture p = randomPicture(random, 13, 9, f[0], f[1], f[0] == 3 ? 12 : 0);
    p.interlaced = files.size() % 2 == 1;
    if (f[0] == 3) p.paletteAlpha = {0, 90};
    files.push_back(writeWithLibpng(p, {9, files.size() % 3 == 0 ? 4 /* Z_FIXED */ : 0, -1}));
  }
  return files;
}

std::vector<Bytes> pictures() {
  std::vector<Bytes> files;
  for (const char* name : {"background.png", "commontextures.png", "oldknobs.png"})
    files.push_back(readFile(resourcePath(name)));
  return files;
}

}  // namespace

TEST(PngPictures, TheThreeCommittedPicturesDecode) {
  const char* names[] = {"background.png", "commontextures.png", "oldknobs.png"};
  const std::uint32_t sizes[][2] = {{560, 110}, {256, 256}, {321, 480}};
  for (int i = 0; i < 3; ++i) {
    Bytes file = readFile(resourcePath(names[i]));
    ASSERT_FALSE(file.empty()) << names[i];
    std::vector<std::uint8_t> rgba;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(VexBlit::decodePng(rgba, w, h, file.data(), file.size()), 0) << names[i];
    EXPECT_EQ(w, sizes[i][0]) << names[i];
    EXPECT_EQ(h, sizes[i][1]) << names[i];
    ASSERT_EQ(rgba.size(), std::size_t(w) * h * 4);
    // Premultiplied: no colour channel exceeds its alpha.
    std::size_t overAlpha = 0;
    for (std::size_t p = 0; p < rgba.size(); p += 4)
      overAlpha += rgba[p] > rgba[p + 3] || rgba[p + 1] > rgba[p + 3] || rgba[p + 2] > rgba[p + 3];
    EXPECT_EQ(overAlpha, 0u) << names[i];
  }
}

TEST(PngRobustness, EveryTruncation) {
  for (const Bytes& file : sampleFiles())
    for (std::size_t length = 0; length < file.size(); ++length)
      expectSafe(Bytes(file.begin(), file.begin() + std::ptrdiff_t(length)), "cut at " + std::to_string(length));
  for (const Bytes& file : pictures()) {
    std::size_t step = file.size() / 300 + 1;
    for (std::size_t length = 0; length < file.size(); length += step)
      expectSafe(Bytes(file.begin(), file.begin() + std::ptrdiff_t(length)),
                 "picture cut at " + std::to_string(length));
  }
}

TEST(PngRobustness, RandomByteMutations) {
  std::mt19937 random(2024);
  auto mutateAndDecode = [&](const Bytes& original, int rounds) {
    for (int round = 0; round < rounds && !original.empty(); ++round) {
      Bytes file = original;
      int changes = 1 + int(random() % 6);
      for (int c = 0; c < changes; ++c) {
        // Half the changes hit the headers, where one byte changes the meaning of everything after it.
        std::size_t at = random() % 2 ? random() % std::min<std::size_t>(file.size(), 80) : random() % file.size();
        file[at] = random() % 4 ? std::uint8_t(random()) : std::uint8_t(file[at] ^ (1u << (random() % 8)));
      }
      expectSafe(file, "mutation round " + std::to_string(round));
    }
  };
  for (const Bytes& file : sampleFiles()) mutateAndDecode(file, 3000);
  for (const Bytes& file : pictures()) mutateAndDecode(file, 40);
}
