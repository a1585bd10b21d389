// Plays a MIDI timeline through a loaded plug-in block by block, with events and automation on their exact samples.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "host/cli/automation.h"
#include "host/lib/midi_timeline.h"
#include "host/lib/plugin_host.h"

namespace Render {

struct RenderStats {
  int64_t frames = 0;
  float peak = 0;         // largest absolute sample of any channel
  int64_t nonFinite = 0;  // NaN or infinite samples from the plug-in, written as silence
};

class SongRenderer {
 public:
  using BlockSink = std::function<void(const float* const* channels, int32_t frames)>;
  using Progress = std::function<void(int64_t done, int64_t expected)>;

  // The output falls silent below -90 dBFS; the automatic tail stops after this long below it.
  static constexpr float kSilence = 3.1622776e-5f;
  static constexpr double kQuietSeconds = 0.1;
  static constexpr double kMaxAutoTailSeconds = 10.0;

  // The host must be started with the same rate and block size. tailSeconds empty: stop when silent. Changes of
  // the mapped controllers become parameter changes at their samples instead of MIDI.
  SongRenderer(Host::PluginHost& host, const Host::MidiTimeline& song, double sampleRate, int32_t blockSize,
               std::optional<double> tailSeconds, const ControllerMap& controllers = ControllerMap());

  int32_t channelCount() const { return (int32_t)outputs_.size(); }
  RenderStats run(const BlockSink& sink, const Progress& progress);

 private:
  int32_t nextBlockLength(int64_t pos, int64_t limit) const;
  void applyAutomation(int64_t pos);
  void deliverEvents(int64_t pos, int32_t frames);
  void publishTime(int64_t pos, bool first);
  void process(int32_t frames);
  void measure(int64_t pos, int32_t frames, RenderStats& stats);

  Host::PluginHost& host_;
  const Host::MidiTimeline& song_;
  double sampleRate_;
  int32_t blockSize_;
  std::optional<double> tailSeconds_;
  ControllerMap controllers_;
  std::vector<AutomationPoint> automation_;
  size_t nextEvent_ = 0;    // index of the first event not yet delivered
  size_t nextPoint_ = 0;    // index of the first automation point not yet applied
  int64_t quietSince_ = 0;  // output has stayed below kSilence from here on (counted after the last event)
  std::vector<std::vector<float>> inputs_, outputs_;
  std::vector<float*> inputPtrs_, outputPtrs_;
  std::vector<Host::MidiMessage> pending_;
};

}  // namespace Render
