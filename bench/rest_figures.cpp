// Prints how the voice comes to rest and wakes: for each program and each extreme setting, how long after the last
// release a float host hears only zeros from the engine that never rests, the longest silence inside that tail,
// and when the voice rests; and how far a note woken from rest lies from the same note of an engine that never
// rests (residual in dB over its first 5 ms, 5 to 50 ms and after 50 ms), for every factory program at 44.1 and
// 96 kHz and for every choice of what the sleeping parts hold when they wake.
//
//   rest_figures [PROGRAMS.txt]   (default: the factory programs of the source tree)

#include <xmmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/block_passes.h"
#include "synth/filter_section.h"
#include "synth/oscillator.h"
#include "synth/random.h"
#include "synth/voice.h"
#include "tools/factory_bank/factory_programs.h"

namespace {

// A note, a release, a parameter or the bend at a sample position.
struct Event {
  int64_t frame;
  enum Kind { On, Off, Param, Bend } kind;
  int32_t a;  // note or parameter index
  double b;   // velocity, parameter value or bend in semitones
};

// The instrument's voice around the engine, as instrument/ drives it: notes, parameters, bend, sub-blocks at events.
class Engine {
 public:
  Engine(const Engine& e)
      : rests_(e.rests_),
        osc_(std::make_unique<Synth::Oscillator>(*e.osc_)),
        filter_(std::make_unique<Synth::FilterSection>(*e.filter_)),
        random_(e.random_),
        work_(e.work_),
        note_(e.note_),
        bend_(e.bend_),
        gate_(e.gate_),
        retrigger_(e.retrigger_),
        slide_(e.slide_),
        accent_(e.accent_) {
    std::copy(e.p_, e.p_ + 7, p_);
  }
  Engine(double fs, bool rests, const Synth::FilterSection::WakeChoice& choice, const float params[7]) : rests_(rests) {
    osc_->prepare(fs);
    filter_->prepare(fs);
    osc_->reset();
    filter_->reset();
    filter_->setWakeChoice(choice);
    std::copy(params, params + 7, p_);
  }

  void apply(const Event& e) {
    switch (e.kind) {
      case Event::On:
        slide_ = gate_, retrigger_ = retrigger_ || !gate_, note_ = e.a, accent_ = e.b > 100, gate_ = true;
        break;
      case Event::Off:
        if (e.a == note_) gate_ = false;
        break;
      case Event::Param: p_[e.a] = (float)e.b; break;
      case Event::Bend: bend_ = e.b; break;
    }
  }

  void render(double* out, int32_t frames) {
    const unsigned saved = _mm_getcsr();
    _mm_setcsr(0xFFC0);
    const Synth::FilterControls c{p_[2], p_[3], accent_ ? 0.0 : p_[4], p_[5], p_[6], gate_, retrigger_, accent_};
    const bool square = p_[0] > 0.5f;
    if (rests_) {
      Synth::renderVoice(*osc_, *filter_, random_, work_.data(), frames, {slide_, square, note_ + bend_, p_[1], c});
    } else {
      Passes::oscillatorPass(*osc_, random_, work_.data(), slide_, square, note_ + bend_, p_[1], frames);
      Passes::filterPass(*filter_, work_.data(), frames, c);
    }
    std::copy(work_.begin(), work_.begin() + frames, out);
    retrigger_ = false;
    _mm_setcsr(saved & ~0x3Fu);
  }

  bool resting() const { return filter_->resting(); }

 private:
  bool rests_;
  std::unique_ptr<Synth::Oscillator> osc_ = std::make_unique<Synth::Oscillator>();
  std::unique_ptr<Synth::FilterSection> filter_ = std::make_unique<Synth::FilterSection>();
  Synth::Random random_;
  std::vector<double> work_ = std::vector<double>(5 * 64);
  float p_[7];
  int32_t note_ = 69;
  double bend_ = 0.0;
  bool gate_ = false, retrigger_ = false, slide_ = false, accent_ = false;
};

// Renders `total` frames in sub-blocks of at most 64, cut at every event; `restedAt` gets the first resting frame
// of each rest, to the sample (a sub-block that ends at rest is played again, a frame at a time, from a copy).
std::vector<double> play(Engine& e, const std::vector<Event>& events, int64_t total,
                         std::vector<int64_t>* restedAt = nullptr) {
  std::vector<double> out((size_t)total);
  size_t next = 0;
  for (int64_t pos = 0; pos < total;) {
    while (next < events.size() && events[next].frame <= pos) e.apply(events[next++]);
    int64_t end = std::min<int64_t>(pos + 64, total);
    if (next < events.size()) end = std::min<int64_t>(end, events[next].frame);
    const bool wasResting = e.resting();
    if (restedAt && !wasResting) {
      Engine copy(e);
      e.render(out.data() + pos, (int32_t)(end - pos));
      if (e.resting()) {
        for (int64_t i = pos; i < end && !copy.resting(); ++i) {
          copy.render(out.data() + i, 1);
          if (copy.resting()) restedAt->push_back(i);
        }
      }
    } else {
      e.render(out.data() + pos, (int32_t)(end - pos));
    }
    pos = end;
  }
  return out;
}

double residualDb(const std::vector<double>& ref, const std::vector<double>& got, int64_t from, int64_t to) {
  double diff = 0.0, energy = 0.0;
  for (int64_t i = from; i < to; ++i) diff += (got[i] - ref[i]) * (got[i] - ref[i]), energy += ref[i] * ref[i];
  if (diff == 0.0) return -INFINITY;
  return 10.0 * std::log10(diff / energy);
}

std::vector<bank::Program> programs;

void programParams(size_t index, float p[7]) {
  for (int i = 0; i < 7; ++i) p[i] = (float)programs[index].steps[i] / 64000.0f;
}

// How long after the release the voice comes to rest: the program's or the setting's note (0.25 s held, or as the
// case holds it), then silence; seconds from the last release to the first resting block.
void printTails() {
  struct Case {
    std::string name;
    float params[7];
    std::vector<Event> events;  // frames in milliseconds, scaled to the rate below
  };
  std::vector<Case> cases;
  for (size_t i = 0; i < programs.size(); ++i) {
    for (int velocity : {100, 127}) {
      Case c{programs[i].name + (velocity > 100 ? ", accented" : ""), {}, {}};
      programParams(i, c.params);
      c.events = {{0, Event::On, 36, (double)velocity}, {250, Event::Off, 36, 0}};
      cases.push_back(c);
    }
  }
  const float extreme[7] = {0.0f, 0.5f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  cases.push_back(
      {"decay 1 s, resonance, cutoff, envmod full", {}, {{0, Event::On, 36, 100}, {250, Event::Off, 36, 0}}});
  cases.push_back({"the same, accented", {}, {{0, Event::On, 36, 127}, {250, Event::Off, 36, 0}}});
  cases.push_back(
      {"the same, square, slide into an accent",
       {},
       {{0, Event::On, 36, 100}, {200, Event::On, 48, 127}, {210, Event::Off, 36, 0}, {450, Event::Off, 48, 0}}});
  cases.push_back({"the same, held 3 s (sustain pedal)", {}, {{0, Event::On, 36, 100}, {3000, Event::Off, 36, 0}}});
  cases.push_back({"the same, note 0 (8 Hz)", {}, {{0, Event::On, 0, 100}, {250, Event::Off, 0, 0}}});
  cases.push_back({"the same, note 0, accented", {}, {{0, Event::On, 0, 127}, {250, Event::Off, 0, 0}}});
  cases.push_back(
      {"the same, bent 12 semitones up and back",
       {},
       {{0, Event::On, 36, 100}, {100, Event::Bend, 0, 12.0}, {250, Event::Off, 36, 0}, {400, Event::Bend, 0, 0.0}}});
  for (size_t i = cases.size() - 7; i < cases.size(); ++i) std::copy(extreme, extreme + 7, cases[i].params);
  cases[cases.size() - 5].params[0] = 1.0f;

  std::printf(
      "After the last release, in seconds: until a float host hears only zeros from the engine that never rests\n"
      "(silent), the longest silence inside that tail (gap), and until the voice rests (rest)\n");
  std::printf("%-44s %8s %8s %8s  %8s %8s %8s\n", "note", "silent", "gap", "rest", "silent", "gap", "rest");
  std::printf("%-44s %26s  %26s\n", "", "44.1 kHz", "96 kHz");
  for (const Case& c : cases) {
    std::printf("%-44s", c.name.c_str());
    for (double fs : {44100.0, 96000.0}) {
      std::vector<Event> events;
      int64_t release = 0;
      for (Event e : c.events) {
        e.frame = (int64_t)(e.frame * fs / 1000.0);
        if (e.kind == Event::Off) release = e.frame;
        events.push_back(e);
      }
      const int64_t total = release + (int64_t)(20.0 * fs);
      Engine never(fs, false, {}, c.params), resting(fs, true, {}, c.params);
      const std::vector<double> ref = play(never, events, total);
      std::vector<int64_t> restedAt;
      play(resting, events, total, &restedAt);
      int64_t lastHeard = release, gap = 0, run = 0;
      for (int64_t i = release; i < total; ++i) {
        if (std::fabs(ref[(size_t)i]) < Synth::kHostSilence) {
          ++run;
        } else {
          lastHeard = i;
          gap = std::max(gap, run);
          run = 0;
        }
      }
      std::printf(" %8.3f %8.3f", (double)(lastHeard + 1 - release) / fs, (double)gap / fs);
      const auto after = std::find_if(restedAt.begin(), restedAt.end(), [&](int64_t f) { return f > release; });
      if (after == restedAt.end() || !resting.resting()) std::printf(" %8s ", "none");
      else std::printf(" %8.3f ", (double)(*after - release) / fs);
    }
    std::printf("\n");
  }
}

// The woken note: the program's note 36 held 0.25 s, silence until `wake` seconds after its start (the voice rests
// about 0.4 s after the release), then note 43 (accented or not) held 0.3 s and rendered for 1 s. Residuals of its
// three windows, in dB.
struct Residual {
  double first, early, late;
  bool rested;
};

Residual wokenNote(size_t program, double fs, int velocity, const Synth::FilterSection::WakeChoice& choice,
                   double wakeSeconds) {
  float p[7];
  programParams(program, p);
  const int64_t wake = (int64_t)(wakeSeconds * fs);
  const std::vector<Event> events = {{0, Event::On, 36, 100},
                                     {(int64_t)(0.25 * fs), Event::Off, 36, 0},
                                     {wake, Event::On, 43, (double)velocity},
                                     {wake + (int64_t)(0.3 * fs), Event::Off, 43, 0}};
  const int64_t total = wake + (int64_t)fs;
  Engine never(fs, false, choice, p), resting(fs, true, choice, p);
  const std::vector<double> ref = play(never, events, total);
  std::vector<int64_t> restedAt;
  const std::vector<double> got = play(resting, events, total, &restedAt);
  const bool rested = !restedAt.empty() && restedAt.front() < wake;
  const int64_t ms5 = wake + (int64_t)(0.005 * fs), ms50 = wake + (int64_t)(0.05 * fs);
  return {residualDb(ref, got, wake, ms5), residualDb(ref, got, ms5, ms50), residualDb(ref, got, ms50, total), rested};
}

std::string choiceName(const Synth::FilterSection::WakeChoice& c) {
  std::string s;
  s += c.clearLadder ? "ladder cleared" : "ladder kept";
  s += c.clearDecimator ? ", decimator cleared" : ", decimator kept";
  s += c.clearHighPass ? ", high-pass cleared" : ", high-pass kept";
  s += c.settleCutoff ? ", cutoff settled" : ", cutoff kept";
  return s;
}

// What the first pass measured best (everything kept), each part cleared alone, and everything cleared.
std::vector<Synth::FilterSection::WakeChoice> wakeChoices() {
  std::vector<Synth::FilterSection::WakeChoice> choices(6);
  choices[1].clearLadder = true;
  choices[2].clearDecimator = true;
  choices[3].clearHighPass = true;
  choices[4].settleCutoff = true;
  choices[5] = {true, true, true, true};
  return choices;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  try {
    programs = bank::readProgramsFile(argc > 1 ? argv[1] : KORALIN_SOURCE_DIR "/resources/factory_programs.txt");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rest_figures: %s\n", e.what());
    return 1;
  }
  printTails();

  // The wake choices over every program, rate and accent, a note woken 1 s after the first note's start: the worst
  // residual of each window.
  std::printf(
      "\nWake choices: the worst residual over the 8 programs, 44.1 and 96 kHz, woken note plain and accented, 1 s "
      "after the last\n");
  std::printf("%-72s %8s %8s %8s\n", "what the sleeping parts hold on waking", "0-5 ms", "5-50 ms", ">50 ms");
  Synth::FilterSection::WakeChoice best{};  // the engine's, unless another does better by more than 0.1 dB
  double bestLate = INFINITY;
  for (const Synth::FilterSection::WakeChoice& c : wakeChoices()) {
    double worst[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t p = 0; p < programs.size(); ++p)
      for (double fs : {44100.0, 96000.0})
        for (int velocity : {100, 127}) {
          const Residual r = wokenNote(p, fs, velocity, c, 1.0);
          worst[0] = std::max(worst[0], r.first), worst[1] = std::max(worst[1], r.early);
          worst[2] = std::max(worst[2], r.late);
          if (!r.rested) std::printf("(%s at %.0f Hz did not rest before the note)\n", programs[p].name.c_str(), fs);
        }
    std::printf("%-72s %8.1f %8.1f %8.1f\n", choiceName(c).c_str(), worst[0], worst[1], worst[2]);
    if (worst[2] < bestLate - 0.1) bestLate = worst[2], best = c;
  }

  for (double wake : {1.0, 4.0}) {
    std::printf("\nThe woken note %.0f s after the last, with the best choice (%s), residual in dB\n", wake,
                choiceName(best).c_str());
    std::printf("%-18s %6s %8s %8s %8s   %8s %8s %8s\n", "program", "rate", "0-5 ms", "5-50 ms", ">50 ms", "accented",
                "5-50 ms", ">50 ms");
    for (size_t p = 0; p < programs.size(); ++p)
      for (double fs : {44100.0, 96000.0}) {
        const Residual plain = wokenNote(p, fs, 100, best, wake), accented = wokenNote(p, fs, 127, best, wake);
        std::printf("%-18s %6.1f %8.1f %8.1f %8.1f   %8.1f %8.1f %8.1f\n", programs[p].name.c_str(), fs / 1000.0,
                    plain.first, plain.early, plain.late, accented.first, accented.early, accented.late);
      }
  }
  return 0;
}
