// The engine's floating-point mode through the SSE control and status register (MXCSR).
#include <xmmintrin.h>

#include "platform/float_mode.h"

namespace Platform {
namespace {
constexpr unsigned kEngineCsr = 0xFFC0;     // exceptions masked (bits 7-12), DAZ (6), FTZ (15), round to zero (13-14)
constexpr unsigned kExceptionFlags = 0x3F;  // the six sticky exception flags (bits 0-5)
}  // namespace

EngineFloatMode::EngineFloatMode() : saved_(_mm_getcsr()) { _mm_setcsr(kEngineCsr); }

EngineFloatMode::~EngineFloatMode() { _mm_setcsr(saved_ & ~kExceptionFlags); }

}  // namespace Platform
