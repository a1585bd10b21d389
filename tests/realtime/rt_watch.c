/* The watched C library functions: each notes its call while a window is open, then does the real work (glibc's
   own allocator entry points, or the next definition found after this executable). Written in C so that the
   definitions match the C library's declarations exactly. */
#define _GNU_SOURCE
#include "rt_watch.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

static atomic_bool watching;
static atomic_long counts[kRtKinds];
static const char* _Atomic firstCall[kRtKinds];
static const char* _Atomic firstStep[kRtKinds];
static const char* _Atomic currentStep = "";
static atomic_bool onlyMarked;
static _Thread_local int threadMarked; /* the executable's own TLS: reading it never allocates */

__attribute__((unused)) static void note(enum RtWatchKind kind, const char* function) {
  if (!atomic_load_explicit(&watching, memory_order_relaxed)) return;
  if (atomic_load_explicit(&onlyMarked, memory_order_relaxed) && !threadMarked) return;
  if (atomic_fetch_add(&counts[kind], 1) == 0) {
    atomic_store(&firstCall[kind], function);
    atomic_store(&firstStep[kind], atomic_load(&currentStep));
  }
}

static void begin(int marked) {
  for (int k = 0; k < kRtKinds; ++k) {
    atomic_store(&counts[k], 0);
    atomic_store(&firstCall[k], "");
    atomic_store(&firstStep[k], "");
  }
  atomic_store(&onlyMarked, marked);
  atomic_store(&watching, 1);
}

void rtWatchBegin(void) { begin(0); }
void rtWatchBeginMarked(void) { begin(1); }

void rtWatchMark(int marked) { threadMarked = marked; }

struct RtWatchReport rtWatchEnd(void) {
  atomic_store(&watching, 0);
  struct RtWatchReport report;
  for (int k = 0; k < kRtKinds; ++k) {
    report.counts[k] = atomic_load(&counts[k]);
    report.firstCall[k] = atomic_load(&firstCall[k]);
    report.firstStep[k] = atomic_load(&firstStep[k]);
  }
  return report;
}

void rtWatchStep(const char* name) { atomic_store(&currentStep, name); }

#if RT_WATCH_AVAILABLE

/* The definition this executable hides, looked up on first use (dlsym takes the loader's own lock, not these). */
static void* next(void* _Atomic* cache, const char* name) {
  void* f = atomic_load_explicit(cache, memory_order_acquire);
  if (!f) {
    f = dlsym(RTLD_NEXT, name);
    atomic_store_explicit(cache, f, memory_order_release);
  }
  return f;
}

#define RT_FORWARD(kind, ret, name, params, args) \
  ret name params {                               \
    static void* _Atomic real;                    \
    typedef ret(*Real) params;                    \
    note(kind, #name);                            \
    return ((Real)next(&real, #name))args;        \
  }

/* Allocation: glibc's exported allocator entry points, so no lookup can recurse into malloc. */
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
void __libc_free(void*);

void* malloc(size_t size) {
  note(kRtAllocation, "malloc");
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  note(kRtAllocation, "calloc");
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  note(kRtAllocation, "realloc");
  return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
  note(kRtAllocation, "memalign");
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  note(kRtAllocation, "aligned_alloc");
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  note(kRtAllocation, "posix_memalign");
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = __libc_memalign(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}
void* valloc(size_t size) {
  note(kRtAllocation, "valloc");
  return __libc_valloc(size);
}
void* pvalloc(size_t size) {
  note(kRtAllocation, "pvalloc");
  return __libc_pvalloc(size);
}
void free(void* p) {
  if (p) note(kRtRelease, "free");
  __libc_free(p);
}

/* Locks: mutexes, reader-writer locks, spin locks and semaphores, taken, tried or posted. */
RT_FORWARD(kRtLock, int, pthread_mutex_lock, (pthread_mutex_t * m), (m))
RT_FORWARD(kRtLock, int, pthread_mutex_trylock, (pthread_mutex_t * m), (m))
RT_FORWARD(kRtLock, int, pthread_mutex_timedlock, (pthread_mutex_t * m, const struct timespec* t), (m, t))
RT_FORWARD(kRtLock, int, pthread_mutex_clocklock, (pthread_mutex_t * m, clockid_t c, const struct timespec* t),
           (m, c, t))
RT_FORWARD(kRtLock, int, pthread_rwlock_rdlock, (pthread_rwlock_t * l), (l))
RT_FORWARD(kRtLock, int, pthread_rwlock_wrlock, (pthread_rwlock_t * l), (l))
RT_FORWARD(kRtLock, int, pthread_rwlock_tryrdlock, (pthread_rwlock_t * l), (l))
RT_FORWARD(kRtLock, int, pthread_rwlock_trywrlock, (pthread_rwlock_t * l), (l))
RT_FORWARD(kRtLock, int, pthread_rwlock_timedrdlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t))
RT_FORWARD(kRtLock, int, pthread_rwlock_timedwrlock, (pthread_rwlock_t * l, const struct timespec* t), (l, t))
RT_FORWARD(kRtLock, int, pthread_spin_lock, (pthread_spinlock_t * l), (l))
RT_FORWARD(kRtLock, int, pthread_spin_trylock, (pthread_spinlock_t * l), (l))
RT_FORWARD(kRtLock, int, sem_wait, (sem_t * s), (s))
RT_FORWARD(kRtLock, int, sem_trywait, (sem_t * s), (s))
RT_FORWARD(kRtLock, int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t))
RT_FORWARD(kRtLock, int, sem_clockwait, (sem_t * s, clockid_t c, const struct timespec* t), (s, c, t))
RT_FORWARD(kRtLock, int, sem_post, (sem_t * s), (s))

/* Waits: condition variables, sleeps, yields, and futex system calls (std::atomic wait, hand-made locks). */
RT_FORWARD(kRtWait, int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
RT_FORWARD(kRtWait, int, pthread_cond_timedwait, (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t),
           (c, m, t))
RT_FORWARD(kRtWait, int, pthread_cond_clockwait,
           (pthread_cond_t * c, pthread_mutex_t* m, clockid_t k, const struct timespec* t), (c, m, k, t))
RT_FORWARD(kRtWait, int, nanosleep, (const struct timespec* t, struct timespec* left), (t, left))
RT_FORWARD(kRtWait, int, clock_nanosleep, (clockid_t c, int f, const struct timespec* t, struct timespec* left),
           (c, f, t, left))
RT_FORWARD(kRtWait, int, usleep, (useconds_t us), (us))
RT_FORWARD(kRtWait, unsigned, sleep, (unsigned s), (s))
RT_FORWARD(kRtWait, int, sched_yield, (void), ())

long syscall(long number, ...) {
  static void* _Atomic real;
  va_list list;
  va_start(list, number);
  long a[6];
  for (int i = 0; i < 6; ++i) a[i] = va_arg(list, long);
  va_end(list);
  if (number == SYS_futex) note(kRtWait, "syscall(SYS_futex)");
  return ((long (*)(long, ...))next(&real, "syscall"))(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

/* File access: opening a file and writing to a descriptor. */
RT_FORWARD(kRtFileAccess, FILE*, fopen, (const char* path, const char* mode), (path, mode))
RT_FORWARD(kRtFileAccess, ssize_t, write, (int fd, const void* data, size_t size), (fd, data, size))

int open(const char* path, int flags, ...) {
  static void* _Atomic real;
  va_list list;
  va_start(list, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(list, int) : 0;
  va_end(list);
  note(kRtFileAccess, "open");
  return ((int (*)(const char*, int, ...))next(&real, "open"))(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
  static void* _Atomic real;
  va_list list;
  va_start(list, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(list, int) : 0;
  va_end(list);
  note(kRtFileAccess, "openat");
  return ((int (*)(int, const char*, int, ...))next(&real, "openat"))(dir, path, flags, mode);
}

#endif
