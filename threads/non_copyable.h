// NonCopyable: a base for objects that own a thread or a system object and must never be copied.
#pragma once

namespace CoreLoom {

class NonCopyable {
 public:
  NonCopyable(const NonCopyable&) = delete;
  NonCopyable& operator=(const NonCopyable&) = delete;

 protected:
  NonCopyable() = default;
  ~NonCopyable() = default;
};

}  // namespace CoreLoom
