// WAV output through libsndfile: opened for a rate, channel count and sample format, written block by block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/cli/file_error.h"
#include "host/cli/options.h"

typedef struct sf_private_tag SNDFILE;

namespace Render {

class WavWriter {
 public:
  // Throws FileError when the file cannot be created.
  WavWriter(const std::string& path, int sampleRate, int channels, SampleFormat format);
  ~WavWriter();  // closes the file if close() was not called
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Writes frames from one buffer per channel. Throws FileError.
  void write(const float* const* channels, int32_t frames);
  // Flushes and closes. Throws FileError.
  void close();

 private:
  SNDFILE* file_ = nullptr;
  std::string path_;
  int channels_;
  std::vector<float> interleaved_;
};

}  // namespace Render
