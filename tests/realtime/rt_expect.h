// The watch's verdict inside a test: the audio side called nothing of any watched kind, and the control run (code
// that must allocate, and take the process lock where there is one) shows that the watch sees the code under test.
#pragma once

#include <gtest/gtest.h>

#include "rt_watch.h"

// `allocator` names what allocates in the control run ("module", "instrument"...); `locker` what takes the
// process lock there, or nullptr where the control run takes none.
inline void expectNothingWatchedOnTheAudioSide(const RtWatchReport& audio, const RtWatchReport& control,
                                               const char* allocator, const char* locker) {
  static const char* const kinds[kRtKinds] = {"allocation", "release", "lock", "wait", "file access"};
  for (int k = 0; k < kRtKinds; ++k)
    EXPECT_EQ(audio.counts[k], 0) << audio.counts[k] << " calls of kind " << kinds[k]
                                  << " on the audio path, the first " << audio.firstCall[k] << " during \""
                                  << audio.firstStep[k] << "\"";
  EXPECT_GT(control.counts[kRtAllocation], 0) << "the watch does not see the " << allocator << "'s allocations";
  if (locker) {
    EXPECT_GT(control.counts[kRtLock], 0) << "the watch does not see the " << locker << "'s process lock";
  }
}
