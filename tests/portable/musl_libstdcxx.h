/* Forced into every C++ source of the musl build (cmake/x86_64-linux-musl.cmake).
 * libstdc++'s headers are configured for glibc and test its version with a
 * macro musl does not have. musl behaves as a recent glibc in what they test
 * (pthreads in libc, no gets in C11, no obsolete isinf/isnan functions). */
#ifndef __GLIBC_PREREQ
#define __GLIBC_PREREQ(major, minor) 1
#endif
