// NullPlug: the silent stand-by object for processors the instrument cannot run on.
#pragma once

#include "plugcore/plug.h"

namespace PlugCore {

class NullPlug : public Plug {
 public:
  explicit NullPlug(audioMasterCallback hostCallback) : Plug(hostCallback, 1, 1, "Error", 1) {}

  void prepare() override {}
  void reset() override {}
  bool render(bool, const TransportInfo&, double**, double**, int32_t) override { return false; }
  void formatParam(int32_t, char* text, float) override { *text = 0; }
};

}  // namespace PlugCore
