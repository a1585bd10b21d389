// What the editor glue asks of the system besides its window: the lock spin's pause and opening a web address.
#pragma once

#include <cstdint>

namespace Lattice {

// One pause of the GUI thread's spin on the editor's lock. Windows serves the messages other threads send
// meanwhile (PeekMessage without removing); elsewhere the thread yields its time slice.
void spinPause();

// Opens the address in the user's browser without waiting for it (ShellExecute on Windows; xdg-open, started
// without a shell, elsewhere). False when it could not be started.
bool openWebAddress(const char* address);

// Milliseconds of a monotonic clock (wraps after 49 days; compare differences only).
uint32_t monotonicMs();

}  // namespace Lattice
