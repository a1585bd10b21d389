// The embedded instance's whole state: saved, loaded elsewhere and saved again to the same bytes; a damaged,
// foreign or later chunk refused with nothing changed; and never a box in front of anyone.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "platform/dialogs.h"
#include "tests/embed/embed_rig.h"

namespace {

std::atomic<int> g_boxes{0};
bool countBox(Platform::BoxKind, const char*, const char*) { return ++g_boxes, false; }

class EmbeddedState : public testing::Test {
 protected:
  void SetUp() override { Platform::setMessageBoxSeam(countBox); }
  void TearDown() override {
    Platform::setMessageBoxSeam(nullptr);
    EXPECT_EQ(g_boxes.load(), 0) << "a box was shown to an embedded instance's user";
  }
};

// The other instance takes exactly the state, or refuses it and keeps its own; either way what it then saves loads
// back to the same bytes.
void loadOrRefuse(Embed::Instance& instance, const std::vector<uint8_t>& chunk) {
  const std::vector<uint8_t> before = instance.saveState();
  const Embed::StateLoad load = instance.loadState(chunk.data(), chunk.size());
  const std::vector<uint8_t> after = instance.saveState();
  if (!load.loaded) {
    ASSERT_NE(load.reason, nullptr);
    ASSERT_EQ(after, before) << "refused (" << load.reason << ") but changed";
  }
  ASSERT_TRUE(instance.loadState(after.data(), after.size()).loaded);
  ASSERT_EQ(instance.saveState(), after);
}

TEST_F(EmbeddedState, SavedLoadedAndSavedAgainIsTheSameAndABadChunkChangesNothing) {
  auto a = Rig::makeInstance(), b = Rig::makeInstance();
  ASSERT_TRUE(a && b);
  // A state worth keeping: another program, values of its own, a renamed program and learnt controllers.
  a->selectProgram(6);
  a->setParameter(kTune, 0.8f);
  char name[] = "Late Night";
  a->dispatch(effSetProgramName, 0, 0, name);
  std::vector<uint8_t> state = a->saveState();
  state.insert(state.end(), {1, kDecay, 74, 0xB0, 1, kAccent, 7, 0xB0});
  ASSERT_TRUE(a->loadState(state.data(), state.size()).loaded);
  state = a->saveState();

  ASSERT_TRUE(b->loadState(state.data(), state.size()).loaded);
  EXPECT_EQ(b->saveState(), state);
  EXPECT_EQ(b->currentProgram(), 6);
  EXPECT_EQ(b->programName(6), "Late Night");
  EXPECT_EQ(b->parameter(kTune), a->parameter(kTune));

  // Each way a chunk can be wrong, refused with a reason; then damage at random, every byte and every length.
  std::vector<std::vector<uint8_t>> bad = {{}, {state.begin(), state.begin() + 7}};
  for (size_t at : {0, 4, 7}) {
    bad.push_back(state);
    bad.back()[at] ^= 0x40;  // the magic, a later version, the version's high half
  }
  bad.push_back({state.begin(), state.begin() + 78});  // cut inside the first program's name
  bad.push_back(state);
  bad.back()[9] = 'X';  // another product's name
  bad.push_back(state);
  bad.back().push_back(9);  // a record of no known kind
  b->selectProgram(2);
  const std::vector<uint8_t> mine = b->saveState();
  for (const std::vector<uint8_t>& chunk : bad) {
    EXPECT_FALSE(b->loadState(chunk.data(), chunk.size()).loaded) << chunk.size() << " bytes";
    EXPECT_EQ(b->saveState(), mine);
  }
  std::minstd_rand random(5);
  for (int round = 0; round < 3000 && !HasFatalFailure(); ++round) {
    std::vector<uint8_t> chunk = state;
    if (round % 3 == 0) chunk.resize(random() % chunk.size());
    for (int n = 1 + (int)(random() % 3); n > 0 && !chunk.empty(); --n)
      chunk[random() % chunk.size()] = (uint8_t)random();
    loadOrRefuse(*b, chunk);
  }
}

}  // namespace
