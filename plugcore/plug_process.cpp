// Plug's processing frame: host buffers to doubles, transport, and sub-blocks cut at event times.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "plugcore/plug.h"

namespace PlugCore {
namespace {

double sanitize(double x) {
  if (std::isnan(x)) return 0.0;
  return std::clamp(x, -1e10, 1e10);
}

// Whether an engine's sample is a finite number once it is the host's type (false for NaN, the infinities, and
// doubles beyond a float's range on the float entry points).
template <typename T>
bool finiteAs(double x) {
  return std::fabs(x) <= (double)std::numeric_limits<T>::max();
}

// A finite sample in the host's type. A decaying tail passes below the smallest normal float long before the
// engine's doubles reach zero; a host must never be handed a subnormal float, so such a sample becomes zero.
template <typename T>
T hostSample(double x) {
  if constexpr (std::is_same_v<T, float>) return std::fabs(x) < (double)FLT_MIN ? 0.0f : (float)x;
  return (T)x;
}

}  // namespace

// The host's list is copied, so it may be freed or reused as soon as this returns. A second list before the next
// processing call joins the first: each of its events goes after every queued event that is not later than it, and
// its own events keep their order. A negative offset (or one near INT32_MIN) counts as 0.
int32_t Plug::processEvents(VstEvents* events) {
  if (!events) return 1;
  int32_t floor = 0;  // the new list's events never pass one another
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = events->events[i];
    if (!event || event->type != kVstMidiType) continue;
    const auto& midi = reinterpret_cast<const VstMidiEvent&>(*event);
    const uint8_t status = (uint8_t)midi.midiData[0];
    if (status < 0x80 || status > 0xEF) continue;  // only channel-voice messages are ever handled
    if (eventCount_ == kEventCapacity) {
      droppedEvents_ = droppedEvents_ + 1u;
      continue;
    }
    const QueuedEvent queued{std::max(midi.deltaFrames, 0), status, (uint8_t)(midi.midiData[1] & 0x7F),
                             (uint8_t)(midi.midiData[2] & 0x7F)};
    int32_t at = eventCount_;
    for (; at > floor && events_[at - 1].deltaFrames > queued.deltaFrames; --at) events_[at] = events_[at - 1];
    events_[at] = queued;
    ++eventCount_;
    floor = at + 1;
  }
  return 1;
}

void Plug::clearEvents() {
  eventCount_ = 0;
  nextEvent_ = 0;
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
// pieces of at most that size, each event still at its own sample position. The copy into the host's buffers is
// the last word on every sample: one that is not a finite number of the host's type becomes silence, and the
// engine is reset at the end of the call so that whatever went wrong does not stay in its state.
template <typename T, bool accumulate>
void Plug::processCall(T** inputs, T** outputs, int32_t frames) {
  const size_t outChannels = outputChannels_.size();
  if (frames <= 0 || !outputs) {
    clearEvents();
    return;
  }
  if (needsPrepare_ || preparedFrames_ <= 0) {
    // Not prepared for the configuration the host set last: silence, and the events are dropped with the call.
    if (!accumulate)
      for (size_t c = 0; c < outChannels; ++c) std::fill(outputs[c], outputs[c] + frames, T(0));
    clearEvents();
    return;
  }
  beginCall();
  bool silenced = false;
  for (int32_t offset = 0; offset < frames;) {
    const int32_t n = std::min(preparedFrames_, frames - offset);
    for (size_t c = 0; c < inputChannels_.size(); ++c) {
      const T* in = inputs ? inputs[c] + offset : nullptr;
      for (int32_t i = 0; i < n; ++i) inputChannels_[c][i] = in ? sanitize((double)in[i]) : 0.0;
    }
    if constexpr (std::is_same_v<T, double> && !accumulate) {
      for (size_t c = 0; c < outChannels; ++c) hostOutputs_[c] = outputs[c] + offset;
      processPiece(hostOutputs_.data(), n, offset, offset + n == frames);
      for (size_t c = 0; c < outChannels && !pieceSilent_; ++c)
        for (int32_t i = 0; i < n; ++i)
          if (!finiteAs<double>(hostOutputs_[c][i])) {
            hostOutputs_[c][i] = 0.0;
            silenced = true;
          }
    } else {
      processPiece(outputChannels_.data(), n, offset, offset + n == frames);
      for (size_t c = 0; c < outChannels; ++c) {
        T* out = outputs[c] + offset;
        if (pieceSilent_) {  // zeros: nothing to add, and replacing writes zeros without converting
          if (!accumulate) std::fill(out, out + n, T(0));
          continue;
        }
        const double* src = outputChannels_[c];
        for (int32_t i = 0; i < n; ++i) {
          const bool finite = finiteAs<T>(src[i]);
          silenced = silenced || !finite;
          const T x = finite ? hostSample<T>(src[i]) : T(0);
          out[i] = accumulate ? T(out[i] + x) : x;
        }
      }
    }
    offset += n;
  }
  clearEvents();
  if (silenced) {
    silencedCalls_ = silencedCalls_ + 1u;
    reset();
  }
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
  pieceSilent_ = true;
  while (nextEvent_ < eventCount_) {
    // Events out of order or before the start are handled at the current position.
    const int32_t t = std::max(events_[nextEvent_].deltaFrames - offset, position);
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
  int32_t i = first;
  do {
    handleEvent(events_[i]);
    ++i;
  } while (i < eventCount_ && events_[i].deltaFrames <= upTo);
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
  const double rate = preparedRate_;
  TransportInfo transport{tempo_, ppqPosition_, tempo_ / (rate * 60.0), rate, samplePosition_, samplePosition_ / rate};
  const bool running = render(changed, transport, inputViews_.data(), outputViews_.data(), n);
  pieceSilent_ = pieceSilent_ && renderedSilence();
  if (running || playing_) {
    ppqPosition_ += n * tempo_ / (rate * 60.0);
    samplePosition_ += n;
  } else {
    ppqPosition_ = 0.0;
    samplePosition_ = 0.0;
  }
}

}  // namespace PlugCore
