// A module with thread-local pointers, as the plug-ins have: loaded at run time, its block for each thread comes
// from malloc when that thread first touches it.
extern "C" __attribute__((visibility("default"))) void** koralinTestTlsSlots() {
  thread_local void* slots[3];
  return slots;
}
