// Program and bank files: the byte layout, round trips, bare chunks and the files that are refused.
#include <gtest/gtest.h>

#include "host/lib/fx_preset.h"

using namespace Host;

namespace {

using Bytes = std::vector<uint8_t>;

const int32_t kId = ('k' << 24) | ('m' << 16) | ('P' << 8) | 'x';

int32_t wordAt(const Bytes& b, size_t at) {
  return (int32_t)((uint32_t)b[at] << 24 | (uint32_t)b[at + 1] << 16 | (uint32_t)b[at + 2] << 8 | b[at + 3]);
}

std::string tagAt(const Bytes& b, size_t at) {
  return std::string(b.begin() + (ptrdiff_t)at, b.begin() + (ptrdiff_t)at + 4);
}

std::string rejection(const Bytes& b) {
  try {
    readPresetFile(b);
  } catch (const PresetError& e) {
    return e.what();
  }
  return "accepted";
}

}  // namespace

TEST(FxPreset, ProgramFileLayoutAndRoundTrip) {
  Bytes chunk = {0x75, 0x3D, 0x8C, 0x28, 5, 0, 0, 0, 0, 2, 0x80, 0x3E};
  Bytes file = writeProgramFile(kId, 7, 7, "Squelch", chunk);
  ASSERT_EQ(file.size(), 60 + chunk.size());
  EXPECT_EQ(tagAt(file, 0), "CcnK");
  EXPECT_EQ(wordAt(file, 4), (int32_t)file.size() - 8);
  EXPECT_EQ(tagAt(file, 8), "FPCh");
  EXPECT_EQ(wordAt(file, 12), 1);
  EXPECT_EQ(tagAt(file, 16), "kmPx");
  EXPECT_EQ(wordAt(file, 20), 7);
  EXPECT_EQ(std::string((const char*)file.data() + 28), "Squelch");
  EXPECT_EQ(wordAt(file, 56), (int32_t)chunk.size());
  EXPECT_EQ(Bytes(file.begin() + 60, file.end()), chunk);

  PresetFile back = readPresetFile(file);
  EXPECT_EQ(back.kind, PresetKind::Program);
  EXPECT_EQ(back.fxID, kId);
  EXPECT_EQ(back.fxVersion, 7);
  EXPECT_EQ(back.count, 7);
  EXPECT_EQ(back.name, "Squelch");
  EXPECT_EQ(back.chunk, chunk);
  // A name longer than the field keeps its terminating zero.
  EXPECT_EQ(readPresetFile(writeProgramFile(kId, 1, 7, std::string(40, 'n'), chunk)).name, std::string(27, 'n'));
}

TEST(FxPreset, BankFileLayoutAndRoundTrip) {
  Bytes chunk(300, 0x5A);
  Bytes file = writeBankFile(kId, 1, 8, 3, chunk);
  ASSERT_EQ(file.size(), 160 + chunk.size());
  EXPECT_EQ(tagAt(file, 8), "FBCh");
  EXPECT_EQ(wordAt(file, 24), 8);
  EXPECT_EQ(wordAt(file, 28), 3);
  EXPECT_EQ(wordAt(file, 156), 300);
  PresetFile back = readPresetFile(file);
  EXPECT_EQ(back.kind, PresetKind::Bank);
  EXPECT_EQ(back.count, 8);
  EXPECT_EQ(back.chunk, chunk);
  EXPECT_EQ(fourCCText(back.fxID), "kmPx");
}

TEST(FxPreset, AnythingElseIsABareChunk) {
  Bytes chunk = {0x75, 0x3D, 0x8C, 0x28, 5, 0, 0, 0};
  PresetFile raw = readPresetFile(chunk);
  EXPECT_EQ(raw.kind, PresetKind::RawChunk);
  EXPECT_EQ(raw.chunk, chunk);
}

TEST(FxPreset, DamagedFilesAreRefusedWithTheirOffset) {
  Bytes good = writeProgramFile(kId, 1, 7, "x", Bytes(16, 1));
  EXPECT_EQ(rejection({}), "preset file is empty at byte offset 0");

  Bytes bigSize = good;
  bigSize[7] += 1;
  EXPECT_EQ(rejection(bigSize), "header declares 69 bytes but the file holds 68 at byte offset 4");

  Bytes wrongType = good;
  wrongType[9] = 'x';
  EXPECT_EQ(rejection(wrongType),
            "unsupported preset type \"FxCh\" (only opaque-chunk \"FPCh\" and \"FBCh\" files) at byte offset 8");

  Bytes longChunk = good;
  longChunk[59] = 17;
  EXPECT_EQ(rejection(longChunk), "chunk size 17 runs past the end of the file (76 bytes) at byte offset 56");
  Bytes negative = good;
  negative[56] = 0x80;
  EXPECT_EQ(rejection(negative), "chunk size -2147483632 runs past the end of the file (76 bytes) at byte offset 56");

  Bytes shortBank = writeBankFile(kId, 1, 8, 0, Bytes(4, 0));
  shortBank.resize(150);
  shortBank[7] = 150 - 8;
  EXPECT_EQ(rejection(shortBank), "preset file cut short (150 bytes) at byte offset 150");
}

TEST(FxPreset, EveryTruncationOfAProgramFileIsRefused) {
  Bytes good = writeProgramFile(kId, 1, 7, "cut", Bytes(40, 9));
  for (size_t n = 4; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + (ptrdiff_t)n);
    EXPECT_THROW(readPresetFile(cut), PresetError) << n;
    // With a byte size that agrees with the shorter file, the chunk size is what gives it away.
    if (n >= 8) {
      cut[4] = cut[5] = cut[6] = 0;
      cut[7] = (uint8_t)(n - 8);
      EXPECT_THROW(readPresetFile(cut), PresetError) << n;
    }
  }
}
