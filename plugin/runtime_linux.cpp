// What the C++ runtime linked into the Linux module holds for the life of the module, given back when it unloads.
namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++'s own release hook (not in its headers)
}

namespace {

// libstdc++ keeps an emergency pool (some 70 KB) for exceptions thrown while memory runs out, until the process
// ends. With the runtime inside the module the pool is the module's: without this, every unload would lose it.
__attribute__((destructor)) void releaseRuntime() { __gnu_cxx::__freeres(); }

}  // namespace
