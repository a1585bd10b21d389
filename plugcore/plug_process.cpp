// Plug's processing frame: host buffers to doubles, transport, and sub-blocks cut at event times.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "plugcore/plug.h"

namespace PlugCore {
namespace {

double sanitize(double x) {
  if (std::isnan(x)) return 0.0;
  return std::clamp(x, -1e10, 1e10);
}

}  // namespace

int32_t Plug::processEvents(VstEvents* events) {
  events_ = events;
  return 1;
}

void Plug::process(float** inputs, float** outputs, int32_t frames) {
  processCall<float, true>(inputs, outputs, frames);
}

void Plug::processReplacing(float** inputs, float** outputs, int32_t frames) {
  processCall<float, false>(inputs, outputs, frames);
}

void Plug::processDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
  processCall<double, false>(inputs, outputs, frames);
}

// Every host call comes here. A call longer than the block size the engine was prepared for is rendered in
// pieces of at most that size, each event still at its own sample position.
template <typename T, bool accumulate>
void Plug::processCall(T** inputs, T** outputs, int32_t frames) {
  const size_t outChannels = outputChannels_.size();
  if (frames <= 0 || !outputs) {
    events_ = nullptr;
    return;
  }
  if (needsPrepare_ || !configValid() || doubleBlockFrames_ != blockSize) {
    // Not prepared for this configuration: silence, and the events are dropped with the call.
    if (!accumulate)
      for (size_t c = 0; c < outChannels; ++c) std::fill(outputs[c], outputs[c] + frames, T(0));
    events_ = nullptr;
    return;
  }
  beginCall();
  for (int32_t offset = 0; offset < frames;) {
    const int32_t n = std::min(blockSize, frames - offset);
    for (size_t c = 0; c < inputChannels_.size(); ++c) {
      const T* in = inputs ? inputs[c] + offset : nullptr;
      for (int32_t i = 0; i < n; ++i) inputChannels_[c][i] = in ? sanitize((double)in[i]) : 0.0;
    }
    if constexpr (std::is_same_v<T, double> && !accumulate) {
      for (size_t c = 0; c < outChannels; ++c) hostOutputs_[c] = outputs[c] + offset;
      processPiece(hostOutputs_.data(), n, offset, offset + n == frames);
    } else {
      processPiece(outputChannels_.data(), n, offset, offset + n == frames);
      for (size_t c = 0; c < outChannels; ++c) {
        T* out = outputs[c] + offset;
        const double* src = outputChannels_[c];
        for (int32_t i = 0; i < n; ++i) out[i] = accumulate ? T(out[i] + (T)src[i]) : (T)src[i];
      }
    }
    offset += n;
  }
  events_ = nullptr;
}

void Plug::beginCall() {
  cookPending_ = true;
  nextEvent_ = 0;
  if (pendingProgram_ >= 0) requestProgram(pendingProgram_);
  const VstTimeInfo* info = getTimeInfo(kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid);
  tempo_ = (info && (info->flags & kVstTempoValid)) ? info->tempo : 120.0;
  playing_ = info && (info->flags & kVstTransportPlaying);
  if (playing_ && (info->flags & kVstPpqPosValid)) {
    ppqPosition_ = info->ppqPos;
    samplePosition_ = info->samplePos;
  }
}

// One piece of a call: frames samples starting offset samples into the call.
void Plug::processPiece(double** outputs, int32_t frames, int32_t offset, bool last) {
  int32_t position = 0;
  const int32_t count = events_ ? events_->numEvents : 0;
  while (nextEvent_ < count) {
    const VstEvent* event = events_->events[nextEvent_];
    // Events out of order or before the start are handled at the current position.
    int32_t t = std::max(event ? event->deltaFrames - offset : position, position);
    if (t > frames || (!last && t == frames)) {
      if (!last) break;  // belongs to a later piece
      nextEvent_ = dispatchEvents(nextEvent_, INT32_MAX);
      break;
    }
    if (t != position) {
      renderSubBlock(outputs, position, t);
      position = t;
    }
    nextEvent_ = dispatchEvents(nextEvent_, t + offset);
  }
  if (position < frames) renderSubBlock(outputs, position, frames);
}

int32_t Plug::dispatchEvents(int32_t first, int32_t upTo) {
  const int32_t count = events_ ? events_->numEvents : 0;
  int32_t i = first;
  do {
    if (const VstEvent* event = events_->events[i]) handleEvent(*event);
    ++i;
  } while (i < count && (!events_->events[i] || events_->events[i]->deltaFrames <= upTo));
  return i;
}

void Plug::renderSubBlock(double** outputs, int32_t start, int32_t end) {
  const int32_t n = end - start;
  for (size_t c = 0; c < inputChannels_.size(); ++c) inputViews_[c] = inputChannels_[c] + start;
  for (size_t c = 0; c < outputViews_.size(); ++c) {
    outputViews_[c] = outputs[c] + start;
    std::memset(outputViews_[c], 0, sizeof(double) * (size_t)n);  // an engine that writes nothing gives silence
  }
  const bool changed = cookPending_ ? params_.cookPass(this) : false;
  cookPending_ = false;
  const double rate = sampleRate;
  TransportInfo transport{tempo_, ppqPosition_, tempo_ / (rate * 60.0), rate, samplePosition_, samplePosition_ / rate};
  const bool running = render(changed, transport, inputViews_.data(), outputViews_.data(), n);
  if (running || playing_) {
    ppqPosition_ += n * tempo_ / (rate * 60.0);
    samplePosition_ += n;
  } else {
    ppqPosition_ = 0.0;
    samplePosition_ = 0.0;
  }
}

}  // namespace PlugCore
