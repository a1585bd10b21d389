// The toolkit's empty base: a virtual destructor and no copies.
#pragma once

namespace Lattice {

class NoCopy {
 public:
  NoCopy() = default;
  virtual ~NoCopy() = default;
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;
};

}  // namespace Lattice
