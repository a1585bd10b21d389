// The renderer's base pieces: the non-copyable base, its one exception type and the consistency check.
#pragma once

#include <exception>

namespace VexBlit {

// Base of every interface and resource object of the renderer: virtual destructor, no copies.
class NonCopyable {
 public:
  NonCopyable() = default;
  virtual ~NonCopyable() = default;
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;
};

// The only exception the renderer throws for its own failures; it carries no message.
class Exception : public std::exception {};

// The numbers failed consistency checks report; each names one place that can fail, and they stay as they are
// so that reports from older builds still read the same.
constexpr int kCheckPixelFormat = 262;      // no visual or pixel format for the window
constexpr int kCheckSetPixelFormat = 263;   // the visual or pixel format could not be set up
constexpr int kCheckCreateContext = 266;    // the rendering context could not be made
constexpr int kCheckMakeCurrent = 149;      // the context could not be made current
constexpr int kCheckRestoreCurrent = 168;   // the caller's context could not be put back
constexpr int kCheckDeleteContext = 425;    // the rendering context could not be deleted
constexpr int kCheckNoMultiTexCoord = 383;  // glMultiTexCoord2fARB missing
constexpr int kCheckNoActiveTexture = 384;  // glActiveTextureARB missing
constexpr int kCheckForeignTexture = 903;   // a texture another kind of device made
constexpr int kCheckUnknownCombine = 917;   // a combine mode outside Combine
constexpr int kCheckUnknownBlend = 948;     // a blend mode outside Blend

// Reports a failed consistency check with its number to the debugger output, then throws Exception.
[[noreturn]] void checkFailed(int line);

}  // namespace VexBlit
