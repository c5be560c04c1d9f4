#pragma once

// Clang's thread-safety attributes, which the analysis (-Wthread-safety) checks at
// compile time: which mutex guards a member, which functions take or need it. Other
// compilers see nothing.

#if defined(__clang__)
#define KX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KX_THREAD_ANNOTATION(x)
#endif

// A type that is a lock (a mutex); the name is what the warnings call it.
#define KX_CAPABILITY(name) KX_THREAD_ANNOTATION(capability(name))
// An object that holds a lock from its construction to its destruction.
#define KX_SCOPED_CAPABILITY KX_THREAD_ANNOTATION(scoped_lockable)
// The member may be read or written only with the lock held.
#define KX_GUARDED_BY(lock) KX_THREAD_ANNOTATION(guarded_by(lock))
// The function must be called with the lock held.
#define KX_REQUIRES(...) KX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
// The function takes the lock (or, without arguments, the object it belongs to).
#define KX_ACQUIRE(...) KX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
// The function gives the lock back.
#define KX_RELEASE(...) KX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
// The function takes the lock itself, so it must not be called with it held.
#define KX_EXCLUDES(...) KX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
