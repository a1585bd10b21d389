// WAV writing with libsndfile; integer formats clip overs instead of wrapping them.
#include "host/cli/wav_writer.h"

#include <sndfile.h>

namespace Render {
namespace {

// libsndfile words system errors as "System error : <reason>."; the reason is what a person needs.
std::string reason(SNDFILE* file) {
  std::string text = sf_strerror(file);
  const std::string prefix = "System error : ";
  if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

int subFormat(SampleFormat format) {
  switch (format) {
    case SampleFormat::Float: return SF_FORMAT_FLOAT;
    case SampleFormat::Pcm16: return SF_FORMAT_PCM_16;
    default: return SF_FORMAT_PCM_24;
  }
}

}  // namespace

WavWriter::WavWriter(const std::string& path, int sampleRate, int channels, SampleFormat format)
    : path_(path), channels_(channels) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | subFormat(format);
  file_ = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file_) throw FileError("cannot write " + path + ": " + reason(nullptr));
  // Without clipping a float above 1.0 would wrap around to a full-scale negative sample.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WavWriter::~WavWriter() {
  if (file_) sf_close(file_);
}

void WavWriter::write(const float* const* channels, int32_t frames) {
  interleaved_.resize((size_t)frames * (size_t)channels_);
  for (int32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels_; ++c) interleaved_[(size_t)i * (size_t)channels_ + (size_t)c] = channels[c][i];
  if (sf_writef_float(file_, interleaved_.data(), frames) != frames)
    throw FileError("cannot write " + path_ + ": " + reason(file_));
}

void WavWriter::close() {
  SNDFILE* file = file_;
  file_ = nullptr;
  if (file && sf_close(file) != 0) throw FileError("cannot finish " + path_ + ": " + reason(nullptr));
}

}  // namespace Render
