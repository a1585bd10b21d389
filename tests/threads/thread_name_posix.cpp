// Test helper, POSIX: the calling thread's name as the kernel keeps it.
#include <pthread.h>

#include "test_support.h"

namespace CoreLoomTest {

std::string currentThreadName() {
  char name[64] = {};
  if (pthread_getname_np(pthread_self(), name, sizeof(name)) != 0) return "";
  return name;
}

}  // namespace CoreLoomTest
