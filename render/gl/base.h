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

// Reports a failed consistency check with its line number to the debugger output, then throws Exception.
[[noreturn]] void checkFailed(int line);

}  // namespace VexBlit
