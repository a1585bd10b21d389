// Programs and the state chunk: exact bytes, every load error, the other-product question, round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "recording_host.h"

namespace {

constexpr int32_t key(int controller) { return PlugCore::controllerKeyFor(controller); }

using Bytes = std::vector<uint8_t>;

Bytes chunkOf(PlugCore::Plug& plug, bool preset) {
  void* data = nullptr;
  int32_t size = plug.getChunk(&data, preset);
  const auto* p = static_cast<const uint8_t*>(data);
  return Bytes(p, p + size);
}

void load(PlugCore::Plug& plug, Bytes bytes) { plug.setChunk(bytes.data(), (int32_t)bytes.size(), false); }

Bytes header(int version = 5) { return {0x75, 0x3D, 0x8C, 0x28, (uint8_t)version, (uint8_t)(version >> 8), 0, 0}; }

void appendName(Bytes& b, const char* name) {
  b.push_back(4);
  char field[31] = {};
  std::memcpy(field, name, std::min(std::strlen(name), sizeof(field)));  // NUL-padded, not always terminated
  b.insert(b.end(), field, field + 31);
}

void appendValue(Bytes& b, int index, uint32_t n) {
  b.insert(b.end(), {0, (uint8_t)index, (uint8_t)n, (uint8_t)(n >> 8)});
}

TEST(Chunk, PresetBytesAreExactlyTheRecords) {
  Fake::TestPlug plug(1, 2, 3);
  plug.params()[1].flags = PlugCore::kParamUnsaved;  // left out of the current values
  plug.setParameter(0, 1.0f);
  plug.setParameter(2, 0.25f);
  plug.bind(key(0x4A), 2);
  Bytes expected = header();
  appendName(expected, "TestPlug");
  appendValue(expected, 0, 64000);
  appendValue(expected, 2, 16000);
  expected.insert(expected.end(), {1, 2, 0x4A, 0xB0});
  EXPECT_EQ(chunkOf(plug, true), expected);
}

TEST(Chunk, BankBytesCarryEveryProgramThenTheCurrentState) {
  Fake::TestPlug plug(1, 2, 2);
  plug.setParameter(1, 0.0f);
  AEffect* e = plug.getAeffect();
  char name[] = "Acid line";
  e->dispatcher(e, effSetProgramName, 0, 0, name, 0);
  Bytes expected = header();
  appendName(expected, "TestPlug");
  // Programs hold what they held at construction: 0.5 everywhere.
  for (int p = 0; p < 2; ++p) {
    appendValue(expected, 0, 32000);
    appendValue(expected, 1, 32000);
    expected.insert(expected.end(), {2, (uint8_t)p});
    char field[24] = {};
    std::strncpy(field, p == 0 ? "Acid line" : "Init 2", sizeof(field));
    expected.insert(expected.end(), field, field + 24);
  }
  expected.insert(expected.end(), {3, 0});
  appendValue(expected, 0, 32000);
  appendValue(expected, 1, 0);
  EXPECT_EQ(chunkOf(plug, false), expected);
}

TEST(Chunk, EveryLoadErrorIsShownAndWhatCameBeforeStays) {
  Fake::BoxRecorder boxes;
  Fake::TestPlug plug(1, 2, 2);
  const std::string prefix = "Error loading chunk: ";
  struct Case {
    Bytes bytes;
    std::string text;
  };
  Bytes badMagic = header();
  badMagic[0] = 0x76;
  Bytes highWord = header();
  highWord[6] = 1;
  Bytes badTag = header();
  appendValue(badTag, 0, 0);
  badTag.push_back(5);
  const std::string later = "Program or bank was saved with a later version.\nPlease update the plugin and try again.";
  std::vector<Case> cases = {
      {{}, "No header"},
      {{0x75, 0x3D, 0x8C, 0x28, 5, 0, 0}, "No header"},
      {badMagic, "Invalid header"},
      {header(6), later},
      {highWord, later},
      {badTag, "Chunk appears corrupted."},
  };
  for (const Case& c : cases) {
    boxes.boxes().clear();
    load(plug, c.bytes);
    ASSERT_EQ(boxes.boxes().size(), 1u) << c.text;
    EXPECT_EQ(boxes.boxes()[0].kind, Platform::BoxKind::Error);
    EXPECT_EQ(boxes.boxes()[0].caption, "TestPlug error");
    EXPECT_EQ(boxes.boxes()[0].text, prefix + c.text);
  }
  EXPECT_EQ(plug.getParameter(0), 0.0f);  // the record before the bad tag was applied

  // Every older version loads; exactly the header loads nothing and says nothing.
  for (int version : {5, 4, 1, 0, -3}) {
    boxes.boxes().clear();
    Bytes b = header(version);
    appendValue(b, 1, 64000);
    load(plug, b);
    EXPECT_TRUE(boxes.boxes().empty()) << version;
    EXPECT_EQ(plug.getParameter(1), 1.0f);
    plug.setParameter(1, 0.5f);
  }
  load(plug, header());
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST(Chunk, TruncatedRecordsLoadWhatPrecedesThem) {
  Fake::BoxRecorder boxes;
  Fake::TestPlug source(1, 2, 2);
  source.setParameter(0, 0.0f);
  Bytes bank = chunkOf(source, false);
  // Every cut inside the stream: no crash, a corruption message exactly when a record is cut.
  for (size_t cut = 8; cut < bank.size(); ++cut) {
    Fake::TestPlug plug(1, 2, 2);
    boxes.boxes().clear();
    load(plug, Bytes(bank.begin(), bank.begin() + (long)cut));
    bool boundary = false;
    for (size_t at = 8; at <= cut;) {
      if (at == cut) boundary = true;
      static const size_t sizes[] = {4, 4, 26, 2, 32};
      at += sizes[bank[at]];
    }
    EXPECT_EQ(boxes.boxes().empty(), boundary) << cut;
  }
  // Cut inside the first tag 2 record: the program values before it are set, its name not taken.
  Fake::TestPlug plug(1, 2, 2);
  plug.setParameter(0, 1.0f);
  size_t firstTag2 = 8 + 32 + 8;
  ASSERT_EQ(bank[firstTag2], 2);
  boxes.boxes().clear();
  load(plug, Bytes(bank.begin(), bank.begin() + (long)firstTag2 + 10));
  EXPECT_EQ(plug.getParameter(0), 0.5f);
  EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST(Chunk, AnotherProductsPresetAsksFirst) {
  Fake::TestPlug other(1, 2, 2);
  Bytes foreign = chunkOf(other, true);
  std::memcpy(&foreign[9], "OtherSynth\0", 11);
  foreign[8 + 32 + 2] = 0;  // its value record for parameter 0: n = 0 (low byte)
  foreign[8 + 32 + 3] = 0;
  {
    Fake::BoxRecorder no(false);
    Fake::TestPlug plug(1, 2, 2);
    load(plug, foreign);
    ASSERT_EQ(no.boxes().size(), 1u);
    EXPECT_EQ(no.boxes()[0].kind, Platform::BoxKind::YesNo);
    EXPECT_EQ(no.boxes()[0].caption, "TestPlug");
    EXPECT_EQ(no.boxes()[0].text, "Trying to load a preset for \"OtherSynth\"\nDo you want to continue?");
    EXPECT_EQ(plug.getParameter(0), 0.5f);  // untouched
  }
  {
    Fake::BoxRecorder yes(true);
    Fake::TestPlug plug(1, 2, 2);
    load(plug, foreign);
    EXPECT_EQ(plug.getParameter(0), 0.0f);
  }
}

TEST(Chunk, BankAndPresetRoundTrips) {
  Fake::TestPlug a(1, 4, 3);
  AEffect* e = a.getAeffect();
  for (int p = 0; p < 4; ++p) {
    e->dispatcher(e, effSetProgram, 0, p, nullptr, 0);
    std::string name = "Prog " + std::to_string(p * 7);
    e->dispatcher(e, effSetProgramName, 0, 0, name.data(), 0);
    for (int i = 0; i < 3; ++i) a.setParameter(i, 0.1f * (float)(p + i));
  }
  e->dispatcher(e, effSetProgram, 0, 2, nullptr, 0);
  a.setParameter(1, 0.9f);
  a.bind(key(0x07), 0);
  a.bind(key(0x5B), 2);
  Bytes bank = chunkOf(a, false);

  Fake::TestPlug b(1, 4, 3);
  load(b, bank);
  EXPECT_EQ(b.currentProgram(), 2);
  for (int p = 0; p < 4; ++p) {
    EXPECT_STREQ(b.program(p).name, a.program(p).name);
    EXPECT_EQ(b.program(p).snapshot(), a.program(p).snapshot()) << p;
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(b.getParameter(i), a.getParameter(i));
    EXPECT_EQ(b.controllerOf(i), a.controllerOf(i));
  }
  EXPECT_EQ(chunkOf(b, false), bank);

  Fake::TestPlug c(1, 4, 3);
  Bytes preset = chunkOf(a, true);
  load(c, preset);
  EXPECT_EQ(chunkOf(c, true), preset);
  EXPECT_STREQ(c.program(0).name, "Init 1");
}

TEST(Chunk, OutOfRangeRecordsAreIgnored) {
  Fake::BoxRecorder boxes;
  Fake::TestPlug plug(1, 2, 2);
  Fake::hostLog().automated.clear();
  Bytes b = header();
  appendValue(b, 9, 100);                 // no parameter 9
  b.insert(b.end(), {1, 9, 0x4A, 0xB0});  // no parameter 9 to bind
  b.insert(b.end(), {3, 7});              // no program 7
  b.push_back(2);
  b.push_back(5);  // no program 5
  b.insert(b.end(), 24, 'x');
  load(plug, b);
  EXPECT_TRUE(boxes.boxes().empty());
  EXPECT_TRUE(Fake::hostLog().automated.empty());
  EXPECT_EQ(plug.currentProgram(), 0);
  EXPECT_EQ(plug.controllerOf(0), -1);
  EXPECT_EQ(plug.controllerOf(1), -1);
}

TEST(Programs, SwitchingStoresAndRecallsValues) {
  Fake::TestPlug plug(1, 3, 2);
  plug.params()[1].flags = PlugCore::kParamGlobal;
  AEffect* e = plug.getAeffect();
  plug.setParameter(0, 0.25f);
  plug.setParameter(1, 0.75f);
  e->dispatcher(e, effSetProgram, 0, 1, nullptr, 0);
  EXPECT_EQ(plug.getParameter(0), 0.5f);   // program 1 still holds the construction values
  EXPECT_EQ(plug.getParameter(1), 0.75f);  // global: untouched
  e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0);
  EXPECT_EQ(plug.getParameter(0), 0.25f);
  e->dispatcher(e, effSetProgram, 0, 3, nullptr, 0);   // out of range
  e->dispatcher(e, effSetProgram, 0, -1, nullptr, 0);  // out of range
  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0), 0);

  char name[64];
  EXPECT_EQ(e->dispatcher(e, effGetProgramNameIndexed, 2, 0, name, 0), 1);
  EXPECT_STREQ(name, "Init 3");
  EXPECT_EQ(e->dispatcher(e, effGetProgramNameIndexed, 3, 0, name, 0), 0);
  char longName[] = "A very long program name indeed";
  e->dispatcher(e, effSetProgramName, 0, 0, longName, 0);
  e->dispatcher(e, effGetProgramName, 0, 0, name, 0);
  EXPECT_EQ(std::string(name), std::string(longName).substr(0, 23));
}

// While a box waits for a person, the host's other thread asks for a program name: nothing of the plug-in's may be
// held then, or that thread waits as long as the box stays up (and a box that waits for it never closes).
PlugCore::Plug* g_boxPlug = nullptr;
std::atomic<int> g_boxes{0}, g_boxesWithNameRead{0};
bool readANameMeanwhile(Platform::BoxKind kind, const char*, const char*) {
  static std::atomic<bool> done;
  done = false;
  std::thread([] {
    char name[32];
    g_boxPlug->getProgramNameIndexed(0, 1, name);
    done = true;
  }).detach();
  for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ++g_boxes;
  g_boxesWithNameRead += done ? 1 : 0;
  return kind == Platform::BoxKind::YesNo;  // yes, load another product's chunk
}

TEST(Chunk, BoxesAreShownWithNothingOfThePlugInHeld) {
  Fake::TestPlug plug(1, 2, 2);
  g_boxPlug = &plug;
  Platform::setMessageBoxSeam(readANameMeanwhile);
  Bytes b = header();
  appendName(b, "OtherPlug");  // asks first
  appendValue(b, 0, 8000);
  b.push_back(7);  // then a problem: reported after what came before loaded
  load(plug, b);
  Platform::setMessageBoxSeam(nullptr);
  EXPECT_EQ(g_boxes.load(), 2);
  EXPECT_EQ(g_boxesWithNameRead.load(), 2);
  EXPECT_EQ(plug.getParameter(0), 0.125f);
}

}  // namespace
