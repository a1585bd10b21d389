// The render loop: cuts processing calls at block size, tempo changes and automation, sends events, times the tail.
#include "host/cli/song_renderer.h"

#include <algorithm>
#include <cmath>

namespace Render {

SongRenderer::SongRenderer(Host::PluginHost& host, const Host::MidiTimeline& song, double sampleRate, int32_t blockSize,
                           std::optional<double> tailSeconds, const ControllerMap& controllers)
    : host_(host),
      song_(song),
      sampleRate_(sampleRate),
      blockSize_(blockSize),
      tailSeconds_(tailSeconds),
      controllers_(controllers),
      automation_(automationOf(song, controllers)) {
  AEffect* effect = host.effect();
  inputs_.assign((size_t)std::max(effect->numInputs, 0), std::vector<float>((size_t)blockSize, 0.0f));
  outputs_.assign((size_t)std::max(effect->numOutputs, 1), std::vector<float>((size_t)blockSize, 0.0f));
  for (auto& c : inputs_) inputPtrs_.push_back(c.data());
  for (auto& c : outputs_) outputPtrs_.push_back(c.data());
  // A plug-in may read an input pointer even when it declares none.
  if (inputPtrs_.empty()) {
    inputs_.emplace_back((size_t)blockSize, 0.0f);
    inputPtrs_.push_back(inputs_.back().data());
  }
  quietSince_ = song.lastEventSample();
}

int32_t SongRenderer::nextBlockLength(int64_t pos, int64_t limit) const {
  // A processing call never spans a tempo change, so the tempo the plug-in reads holds for the whole call.
  int64_t end = std::min({pos + blockSize_, limit, song_.nextTempoChange(pos)});
  // The plug-in takes parameter changes at the start of a call, so a call ends where the next one is due.
  if (nextPoint_ < automation_.size()) end = std::min(end, automation_[nextPoint_].sample);
  return (int32_t)(end - pos);
}

void SongRenderer::applyAutomation(int64_t pos) {
  while (nextPoint_ < automation_.size() && automation_[nextPoint_].sample <= pos) {
    const AutomationPoint& p = automation_[nextPoint_++];
    host_.setParameter(p.param, p.value);
  }
}

void SongRenderer::deliverEvents(int64_t pos, int32_t frames) {
  const auto& events = song_.events();
  pending_.clear();
  while (nextEvent_ < events.size() && events[nextEvent_].sample < pos + frames) {
    const Host::TimedMidi& e = events[nextEvent_++];
    if (controllers_.paramOf(e.status, e.data1) >= 0) continue;  // played as automation instead
    pending_.push_back({(int32_t)(e.sample - pos), e.status, e.data1, e.data2});
  }
  if (!pending_.empty()) host_.sendMidi(pending_);
}

void SongRenderer::publishTime(int64_t pos, bool first) {
  VstTimeInfo time{};
  time.samplePos = (double)pos;
  time.sampleRate = sampleRate_;
  time.ppqPos = song_.quarterAt(pos);
  time.tempo = song_.tempoAt(pos);
  time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | (first ? kVstTransportChanged : 0);
  host_.setTimeInfo(&time);
}

void SongRenderer::process(int32_t frames) {
  AEffect* effect = host_.effect();
  for (auto& c : outputs_) std::fill(c.begin(), c.begin() + frames, 0.0f);
  if (effect->processReplacing && (effect->flags & effFlagsCanReplacing))
    host_.processReplacing(inputPtrs_.data(), outputPtrs_.data(), frames);
  else if (effect->process)
    effect->process(effect, inputPtrs_.data(), outputPtrs_.data(), frames);  // accumulates into the zeroed outputs
}

void SongRenderer::measure(int64_t pos, int32_t frames, RenderStats& stats) {
  int64_t lastEvent = song_.lastEventSample();
  for (auto& channel : outputs_) {
    for (int32_t i = 0; i < frames; ++i) {
      float x = channel[(size_t)i];
      if (!std::isfinite(x)) {
        channel[(size_t)i] = x = 0.0f;
        ++stats.nonFinite;
      }
      float magnitude = std::fabs(x);
      stats.peak = std::max(stats.peak, magnitude);
      if (magnitude >= kSilence && pos + i >= lastEvent) quietSince_ = std::max(quietSince_, pos + i + 1);
    }
  }
}

RenderStats SongRenderer::run(const BlockSink& sink, const Progress& progress) {
  int64_t lastEvent = song_.lastEventSample();
  double tail = tailSeconds_.value_or(kMaxAutoTailSeconds);
  int64_t limit = lastEvent + (int64_t)std::llround(tail * sampleRate_);
  int64_t quietFrames = (int64_t)std::llround(kQuietSeconds * sampleRate_);
  RenderStats stats;
  int64_t pos = 0;
  while (pos < limit) {
    applyAutomation(pos);
    int32_t frames = nextBlockLength(pos, limit);
    publishTime(pos, pos == 0);
    deliverEvents(pos, frames);
    process(frames);
    measure(pos, frames, stats);
    sink(outputPtrs_.data(), frames);
    pos += frames;
    stats.frames = pos;
    bool silentTail = !tailSeconds_ && pos > lastEvent && pos - quietSince_ >= quietFrames;
    if (silentTail) break;
    if (progress) progress(pos, tailSeconds_ ? limit : std::max(lastEvent + quietFrames, pos));
  }
  return stats;
}

}  // namespace Render
