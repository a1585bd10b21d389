// koralin-render: plays a MIDI file through a VST 2.4 instrument and writes a WAV file.
#include <cstdio>
#include <string>
#include <vector>

#include "host/cli/file_error.h"
#include "host/cli/options.h"
#include "host/cli/plugin_state.h"
#include "host/cli/progress.h"
#include "host/cli/self_path.h"
#include "host/cli/song_renderer.h"
#include "host/cli/wav_writer.h"
#include "host/lib/fx_preset.h"
#include "host/lib/midi_file.h"
#include "host/lib/midi_timeline.h"
#include "host/lib/plugin_host.h"

#ifndef KORALIN_MODULE_FILE
#define KORALIN_MODULE_FILE "Koralin.so"
#endif

namespace {

constexpr int kExitRuntime = 1;
constexpr int kExitUsage = 2;

void complain(const std::string& message) { std::fprintf(stderr, "koralin-render: %s\n", message.c_str()); }

Host::MidiFile readSong(const std::string& path) {
  try {
    return Host::parseMidiFile(Render::readWholeFile(path));
  } catch (const Host::MidiFileError& e) {
    throw Host::MidiFileError(path + ": " + e.problem(), e.offset());
  }
}

void render(Host::PluginHost& host, const Host::MidiFile& midi, const Render::RenderOptions& o,
            const Render::ControllerMap& controllers) {
  Host::MidiTimeline song(midi, o.sampleRate);
  Render::SongRenderer renderer(host, song, o.sampleRate, o.blockSize, o.tailSeconds, controllers);
  Render::WavWriter wav(o.output, o.sampleRate, renderer.channelCount(), o.format);
  Render::ProgressBar bar(Render::ProgressBar::stderrIsTerminal());
  Render::RenderStats stats;
  try {
    stats = renderer.run([&](const float* const* channels, int32_t frames) { wav.write(channels, frames); },
                         [&](int64_t done, int64_t expected) { bar.update(done, expected, o.sampleRate); });
    bar.finish();
    wav.close();
  } catch (...) {
    bar.finish();
    std::remove(o.output.c_str());  // no half-written file is left behind
    throw;
  }
  host.suspend();
  if (stats.nonFinite > 0)
    complain("warning: the plug-in produced " + std::to_string(stats.nonFinite) +
             " samples that were not numbers; they were written as silence");
  std::printf(
      "%s\n",
      Render::summaryLine(stats.frames, renderer.channelCount(), o.sampleRate, o.format, stats.peak, o.output).c_str());
}

int run(const Render::RenderOptions& o, const char* argv0) {
  // The song is read first: a bad file should not wait for the plug-in to load.
  Host::MidiFile midi;
  if (!o.input.empty()) midi = readSong(o.input);
  std::string pluginPath = o.plugin.empty() ? Render::executableDir(argv0) + "/" + KORALIN_MODULE_FILE : o.plugin;
  Host::PluginHost host(pluginPath);
  host.start((float)o.sampleRate, o.blockSize);
  if (!o.preset.empty()) Render::loadPreset(host, o.preset);
  if (!o.program.empty()) Render::selectProgram(host, o.program);
  Render::applySettings(host, o.settings);
  Render::ControllerMap controllers = Render::mapControllers(host, o.controllers);
  if (!o.savePreset.empty()) Render::savePreset(host, o.savePreset);
  if (o.list) std::fputs(Render::describeState(host).c_str(), stdout);
  if (!o.input.empty()) render(host, midi, o, controllers);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  Render::RenderOptions options;
  try {
    options = Render::parseOptions(args);
    if (options.help) {
      std::fputs(Render::usageText().c_str(), stdout);
      return 0;
    }
    return run(options, argc > 0 ? argv[0] : nullptr);
  } catch (const Render::UsageError& e) {
    complain(e.what());
    return kExitUsage;
  } catch (const Host::MidiFileError& e) {
    complain(std::string("bad MIDI file ") + e.what());
    return kExitRuntime;
  } catch (const std::exception& e) {
    complain(e.what());
    return kExitRuntime;
  }
}
