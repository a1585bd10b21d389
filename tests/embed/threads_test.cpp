// Embedded instances on several threads: made four at once, each construction's callbacks reaching its own instance;
// and the editor's gestures, on the editor's thread to the listener and through the queue to the audio side, first
// into a queue nobody drains, then while an audio thread plays and the main thread saves.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "plugcore/plug.h"
#include "tests/embed/embed_rig.h"

namespace {

constexpr int32_t kParams = KoralinParams::kCount;

std::atomic<int> g_boxes{0};
bool countBox(Platform::BoxKind, const char*, const char*) { return ++g_boxes, false; }

// A long defaults file that turns out damaged at its end: each instance reads it while it is made and refuses it.
// Made on four threads at once, each instance counts exactly its own refusal: every call its construction made
// reached the instance being made on that thread, none another one.
TEST(EmbeddedThreads, CallbacksDuringConstructionReachTheInstanceBeingMade) {
  char pattern[] = "/tmp/koralin-embed-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern);
  std::filesystem::create_directories(dir / "Quillmarsh");
  std::vector<uint8_t> defaults = Rig::makeInstance()->saveState();
  while (defaults.size() < 1000000) defaults.insert(defaults.end(), {0, kCutoff, (uint8_t)defaults.size(), 0x7D});
  defaults.push_back(9);
  std::ofstream(dir / "Quillmarsh" / "Koralin.defaults", std::ios::binary)
      .write((const char*)defaults.data(), (std::streamsize)defaults.size());
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  Platform::setMessageBoxSeam(countBox);
  std::vector<std::unique_ptr<Embed::Instance>> made(8);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (++ready; ready.load() < 4;) std::this_thread::yield();
      for (int i = t; i < 8; i += 4) made[(size_t)i] = Embed::Instance::create("Koralin tests");
    });
  for (std::thread& thread : threads) thread.join();
  unsetenv("XDG_CONFIG_HOME");
  Platform::setMessageBoxSeam(nullptr);
  EXPECT_EQ(g_boxes.load(), 0) << "a box was shown while the instances were made";
  std::filesystem::remove_all(dir);
  for (const auto& instance : made) {
    ASSERT_TRUE(instance);
    EXPECT_EQ(instance->refusals(), 1);
  }
}

// What a binding hears, with the checks a host makes: a gesture opens before its values and closes once.
struct Heard : Embed::Listener, Embed::ChangeSink {
  std::atomic<std::thread::id> editor;
  std::atomic<int> begun{0}, ended{0}, automated_{0}, strangers{0};
  bool open[kParams] = {};
  int gestures[kParams] = {}, misplaced = 0;
  float last[kParams] = {};

  void note() { strangers += std::this_thread::get_id() != editor; }
  void automated(int32_t, float) override { note(), ++automated_; }
  void editBegun(int32_t) override { note(), ++begun; }
  void editEnded(int32_t) override { note(), ++ended; }
  bool editorResized(int32_t, int32_t) override { return false; }
  void displayChanged() override {}

  void gestureBegin(int32_t i) override { misplaced += open[i], open[i] = true; }
  void value(int32_t i, float v) override { last[i] = v; }
  void gestureEnd(int32_t i) override { misplaced += !open[i], open[i] = false, ++gestures[i]; }
};

// The gestures a knob makes, as the editor's frame makes them on the plug-in: begin, values, end.
void turnKnobs(PlugCore::Plug& plug, int count) {
  for (int g = 0; g < count; ++g) {
    const int32_t index = g % kParams;
    plug.beginEdit(index);
    for (int k = 1; k <= 5; ++k) plug.setParameterAutomated(index, (float)((g * 5 + k) % 1000) / 1000.0f);
    plug.endEdit(index);
  }
}

TEST(EditorGestures, ReachTheAudioSideWholeAndInOrder) {
  Heard heard;
  heard.editor = std::this_thread::get_id();
  std::unique_ptr<Embed::Instance> instance = Rig::makeInstance(&heard);
  ASSERT_TRUE(instance && instance->activate(44100, 64));
  auto& plug = *static_cast<PlugCore::Plug*>(static_cast<AudioEffect*>(instance->effect()->object));

  // Nobody drains: the queue fills, values are dropped first, yet every gesture that began also ends.
  turnKnobs(plug, 400);
  EXPECT_GT(instance->droppedGestures(), 0);
  instance->emitChanges(heard);
  int opened = 0;
  for (int32_t i = 0; i < kParams; ++i) {
    EXPECT_FALSE(heard.open[i]);
    opened += heard.gestures[i];
    EXPECT_EQ(heard.last[i], instance->parameter(i)) << "the shadow copy brings the latest value";
  }
  EXPECT_GT(opened, 100);
  const int64_t droppedBefore = instance->droppedGestures();

  // An editor thread turns knobs while the audio thread plays and drains, and the main thread saves the state.
  std::atomic<bool> done{false};
  std::thread editor([&] {
    heard.editor = std::this_thread::get_id();
    for (int round = 0; round < 100; ++round) {
      turnKnobs(plug, 7);
      std::this_thread::yield();
    }
    done = true;
  });
  std::thread audio([&] {
    std::vector<float> left(64), right(64);
    for (int block = 0; !done || block % 50 != 0; ++block) {
      if (block % 50 == 0) instance->events().add(block % 64, 0x90, (uint8_t)(36 + block % 24), 100);
      instance->process(left.data(), right.data(), 64);
      instance->emitChanges(heard);
    }
  });
  for (int i = 0; !done; ++i) EXPECT_GT(instance->saveState().size(), 8u);
  editor.join();
  audio.join();
  instance->emitChanges(heard);

  EXPECT_EQ(heard.strangers.load(), 0) << "the listener hears the editor's thread only";
  EXPECT_EQ(heard.begun.load(), 1100);
  EXPECT_EQ(heard.ended.load(), 1100);
  EXPECT_EQ(heard.automated_.load(), 5500);
  EXPECT_EQ(heard.misplaced, 0) << "a gesture was nested or ended without its begin";
  int whole = 0;
  for (int32_t i = 0; i < kParams; ++i) {
    EXPECT_FALSE(heard.open[i]);
    EXPECT_EQ(heard.last[i], instance->parameter(i));
    whole += heard.gestures[i];
  }
  EXPECT_LE(whole - opened, 700);
  if (instance->droppedGestures() == droppedBefore) {
    EXPECT_EQ(whole - opened, 700) << "nothing was dropped, so every gesture was told";
  }
}

}  // namespace
