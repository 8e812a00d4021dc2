// Linked into the test executables of the ThreadSanitizer build only. QProcess starts children with
// clone(CLONE_VM | CLONE_VFORK); the sanitizer's clone interceptor (clang 14) then runs its fork
// bookkeeping in a child that shares the parent's memory and aborts the parent. Dropping those two
// flags gives the child a copy of the memory, as fork() would, which QProcess handles as well: its
// child only reports back through pipes. The sanitizer treats vfork() the same way.

#include <cstdarg>
#include <linux/sched.h> // the CLONE_ flags, without a declaration of clone()
#include <sys/types.h>

extern "C" int __interceptor_clone(int (*fn)(void*), void* stack, int flags, void* arg, pid_t* parentTid,
                                   void* tls, pid_t* childTid);

// The sanitizer's interceptor is a weak symbol, so this definition takes its place for every caller.
extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...) noexcept {
    va_list rest;
    va_start(rest, arg);
    auto* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    auto* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    return __interceptor_clone(fn, stack, flags & ~(CLONE_VM | CLONE_VFORK), arg, parentTid, tls, childTid);
}
