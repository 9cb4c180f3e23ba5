// Linked into every program of the ThreadSanitizer build (Linux), never into
// the others. The launcher's own children start through posix_spawn
// (platform/process.h), whose clone happens inside the C library, out of the
// sanitizer's sight; what still calls clone() itself is QProcess, which tests
// use to run servers and the launcher.
//
// QProcess starts its child with clone(CLONE_VM | CLONE_VFORK): the child
// runs in the parent's memory until it execs. ThreadSanitizer's clone() runs
// its after-fork bookkeeping in that child, so it rewrites the parent's own
// state: the parent then believes it is a forked child (and dies at its next
// new thread), and the thread that started the process stops seeing its
// locks and atomics, which turns ordinary hand-overs into reported races.
// This definition comes before the sanitizer's, so Qt's call goes straight to
// the C library. The child only sets up its descriptors and execs, through
// Qt, whose calls the sanitizer leaves alone (tests/support/tsan.supp).
#include <dlfcn.h>
#include <sys/types.h>

#include <cstdarg>

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) {
  // The C library reads these three whether or not the flags use them.
  va_list more;
  va_start(more, arg);
  pid_t* parentTid = va_arg(more, pid_t*);
  void* tls = va_arg(more, void*);
  pid_t* childTid = va_arg(more, pid_t*);
  va_end(more);
  using Clone = int (*)(int (*)(void*), void*, int, void*, ...);
  static const Clone real =
      reinterpret_cast<Clone>(dlsym(dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD), "clone"));
  return real(fn, stack, flags, arg, parentTid, tls, childTid);
}
