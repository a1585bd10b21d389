// One script of blocks played through the embedded instance and through the VST 2.4 module in our host, the same
// way from instantiation, so that the two renders can be compared to the bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/lib/plugin_host.h"
#include "plugin/embed/instance.h"

namespace Rig {

struct Block {
  int32_t frames = 0;
  std::vector<Host::MidiMessage> midi;            // in the order the embedded instance is given them
  std::vector<std::pair<int32_t, float>> params;  // host values set before the block
  double newRate = 0;                             // > 0: deactivate, then activate at this rate and newMaxFrames
  int32_t newMaxFrames = 0;
  bool reset = false;  // the embedded instance's reset; the module gets all notes off and reset at frame 0
};

struct Script {
  double rate = 44100;
  int32_t maxFrames = 512;
  std::vector<uint8_t> state;  // loaded before the first block when not empty
  std::vector<Block> blocks;
};

// Block sizes: a fixed size when min == max, else uniform in [min, max] from a fixed seed.
struct Sizes {
  int32_t min, max;
  uint32_t seed = 1;
};

// The demo song (examples/acid.mid) at a rate, its controllers 74 and 71 played as host automation of cutoff and
// resonance as the demo does it; a block ends where the next automation point is due.
Script demoSong(double rate, Sizes sizes);

// Stereo renders, left and right one after the other per block.
using Render = std::vector<float>;
Render renderModule(const Script& script);
Render renderEmbedded(const Script& script, Embed::Instance& instance);
Render renderEmbedded(const Script& script);

// Empty when the two renders are the same bits; else where and how they differ.
std::string difference(const Render& a, const Render& b);

// The loudest sample of a render.
inline float peak(const Render& render) {
  float p = 0;
  for (float x : render) p = std::max(p, std::fabs(x));
  return p;
}

// The rates and block sizes every binding's demo-song comparison plays: the usual, random sizes from one frame up,
// a small fixed one at a high rate, and odd small ones at a low rate.
struct DemoConfig {
  double rate;
  Sizes sizes;
};
inline const DemoConfig kDemoConfigs[] = {
    {44100, {512, 512}}, {48000, {1, 1024, 7}}, {96000, {64, 64}}, {22050, {1, 37, 3}}};

// A fresh embedded instance; fails the test when none is made.
std::unique_ptr<Embed::Instance> makeInstance(Embed::Listener* listener = nullptr);

}  // namespace Rig
