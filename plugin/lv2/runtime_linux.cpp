// The C++ runtime linked into Koralin.lv2's binary gives back what it keeps for the life of the binary when the
// host unloads it.
namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++'s release hook (declared in none of its headers)
}

namespace {

// libstdc++ allocates an emergency pool of some 70 KB for exceptions thrown while memory runs out and keeps it to
// the process's end. With the runtime inside the binary the pool is the binary's own, so each load and unload by a
// host (scans, sessions opened and closed) would lose one without this.
__attribute__((destructor)) void releaseRuntime() { __gnu_cxx::__freeres(); }

}  // namespace
