// Oscillator: the band-limited saw and square at five times the sample rate, built from correction kernels.
#pragma once

#include <cstdint>
#include <memory>

#include "synth/exp2_table.h"
#include "synth/kernel_tables.h"
#include "synth/random.h"

namespace Synth {

class Oscillator {
 public:
  Oscillator();  // clears the state and takes the shared step and corner tables
  void prepare(double sampleRate);
  void reset();

  // Driven a block at a time: beginBlock once with the block's controls (pitch: note + bend in semitones; tune: the
  // normalized "tune" value), then tick once per tick at five times the sample rate, one random step each.
  struct Block {
    double target;       // pitch target, octaves
    double shapeTarget;  // d = 1 - 2^(-pitch / 69)
    bool slide, square;
  };
  Block beginBlock(bool slide, bool square, double pitch, double tune) const;
  void tick(const Block& block, Synth::Random& random, double* out);
  // Ticks that nobody hears, five for each of `samples` samples, and each(i) after sample i's (each is copied into
  // the run and back): every state, the correction line and the random source move exactly as ticks would move
  // them, so that a later tick sounds as if none had been skipped; only the output is not written. Defined in
  // synth/oscillator_ticks.h.
  template <class EachSample>
  void coastSamples(const Block& block, Synth::Random& random, int32_t samples, EachSample& each);

  const KernelTable& stepTable() const { return *step_; }
  const KernelTable& cornerTable() const { return *corner_; }
  const KernelTable& softStepTable() const { return *soft_; }
  double glidedPitch() const { return m_.glided; }
  double threshold() const { return m_.prevThreshold; }

 private:
  // Everything a tick moves but the correction line: kept in a struct so that a run of ticks can hold it in
  // registers.
  struct Motion {
    int32_t index = 0;                     // read position in the line, 0 ... 224
    double glided = 0.0;                   // pitch after the glide, octaves relative to 440 Hz at the 5x rate
    double phase = 0.0;                    // running phase, wraps at the drifting threshold
    double prevThreshold = 1.0;            // threshold of the previous tick
    double prevShape = 1.0;                // shape h of the previous tick
    bool high = false;                     // the square is in its high part
    double driftIn = 0.0, driftOut = 0.0;  // drift filter: last random value in, last threshold out
    double shapeIn = 0.0, shapeOut = 0.0;  // shape filter; reset leaves it running
    double cachedGlide = 0.0;              // the glided pitch the cached increment belongs to
    double cachedIncrement = 0.0;          // exp2(cachedGlide) * pitchScale_, capped
  };
  struct Tick;  // what one tick knows: threshold, increment, shape
  template <bool kEmit, bool kLine, bool kGlide, bool kShape, class Source>
  void advance(Motion& m, const Block& block, Source& random, double* out);
  template <bool kLine, class EachSample>
  void coastRun(Motion& m, const Block& block, Synth::Random::State& source, int32_t from, int32_t to,
                EachSample& each);
  template <bool kLine, bool kGlide, bool kShape, class EachSample>
  void coastRun(Motion& m, const Block& block, Synth::Random::State& source, int32_t from, int32_t to,
                EachSample& each);
  void glide(Motion& m, const Block& block) const;
  double shape(const Motion& m, const Block& block) const;
  void addKernel(int32_t index, const KernelTable& table, double amplitude, double fraction);
  template <bool kLine>
  void wrap(Motion& m, const Tick& t, bool square);
  template <bool kLine>
  double squareValue(Motion& m, const Tick& t);

  // The kernels, each 4096 phases x 32 taps (1 MB apiece), shared read-only by every instance of the process.
  const KernelTable* step_;
  const KernelTable* corner_;
  std::shared_ptr<const KernelTable> soft_;  // the table of the prepared sample rate; all zeros before prepare

  alignas(16) double line_[256];  // correction line: kernels land 0..31 ahead, the naive value 16 ahead
  Motion m_;

  double pitchScale_ = 0.0;  // 440 / (5 fs): increment per tick at 440 Hz
  double glideCoef_ = 0.0;   // one-pole glide with a 0.1 fs tick time constant
  double driftC_ = 0.0;      // feedback of the 10 Hz one-poles (drift and shape)
  double driftG_ = 0.0;      // their input gain, used on both input taps
  const Exp2Tables* exp2_;
};

}  // namespace Synth
