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

  const KernelTable& stepTable() const { return *step_; }
  const KernelTable& cornerTable() const { return *corner_; }
  const KernelTable& softStepTable() const { return *soft_; }
  double glidedPitch() const { return glided_; }
  double threshold() const { return prevThreshold_; }

 private:
  struct Tick;  // what one tick knows: threshold, its change, increment, shape
  void addKernel(const KernelTable& table, double amplitude, double fraction);
  void wrap(const Tick& t, bool square);
  double squareValue(const Tick& t);
  void emit(double naive, double* out);

  // The kernels, each 4096 phases x 32 taps (1 MB apiece), shared read-only by every instance of the process.
  const KernelTable* step_;
  const KernelTable* corner_;
  std::shared_ptr<const KernelTable> soft_;  // the table of the prepared sample rate; all zeros before prepare

  alignas(16) double line_[256];           // correction line: kernels land 0..31 ahead, the naive value 16 ahead
  int32_t index_;                          // read position in the line, 0 ... 224
  double glided_;                          // pitch after the glide, octaves relative to 440 Hz at the 5x rate
  double phase_;                           // running phase, wraps at the drifting threshold
  double prevThreshold_;                   // threshold of the previous tick
  double prevShape_;                       // shape h of the previous tick
  bool high_;                              // the square is in its high part
  double driftIn_, driftOut_;              // drift filter: last random value in, last threshold out
  double shapeIn_ = 0.0, shapeOut_ = 0.0;  // shape filter; reset leaves it running

  double pitchScale_ = 0.0;       // 440 / (5 fs): increment per tick at 440 Hz
  double glideCoef_ = 0.0;        // one-pole glide with a 0.1 fs tick time constant
  double driftC_ = 0.0;           // feedback of the 10 Hz one-poles (drift and shape)
  double driftG_ = 0.0;           // their input gain, used on both input taps
  double cachedGlide_ = 0.0;      // the glided pitch the cached increment belongs to
  double cachedIncrement_ = 0.0;  // exp2(cachedGlide_) * pitchScale_, capped
  const Exp2Tables* exp2_;
};

}  // namespace Synth
