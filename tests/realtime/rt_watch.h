// Watches the whole test process for allocations, releases, locks, waits and file access while a window is open.
// The test executable defines the C library's functions (malloc, pthread_mutex_lock, sem_wait, futex system calls
// ...), so the plug-in module's calls land here first, are counted, and go on to the C library.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum RtWatchKind { kRtAllocation, kRtRelease, kRtLock, kRtWait, kRtFileAccess, kRtKinds };

struct RtWatchReport {
  long counts[kRtKinds];
  const char* firstCall[kRtKinds]; /* the first function of each kind that was called */
  const char* firstStep[kRtKinds]; /* what the test was doing then */
};

/* Sanitizer runtimes bring their own allocator and interceptors, which these definitions would bypass. */
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define RT_WATCH_AVAILABLE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define RT_WATCH_AVAILABLE 0
#endif
#endif
#ifndef RT_WATCH_AVAILABLE
#define RT_WATCH_AVAILABLE 1
#endif

void rtWatchBegin(void);               /* clears the counts and starts watching */
struct RtWatchReport rtWatchEnd(void); /* stops watching */
void rtWatchStep(const char* name);    /* names what runs from now on, for the report */
/* Counts only the calls made on threads that marked themselves (a callback that a library's thread runs), from
   rtWatchBeginMarked until rtWatchEnd. */
void rtWatchBeginMarked(void);
void rtWatchMark(int marked); /* this thread's calls count from now on (1) or no longer (0) */

#ifdef __cplusplus
}
#endif
