// A file the renderer could not read or write; the message names the path and the reason.
#pragma once

#include <stdexcept>

namespace Render {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace Render
