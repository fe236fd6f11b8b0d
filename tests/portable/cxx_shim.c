/*
 * The few C++ runtime symbols the library's objects reference when built with
 * -fno-exceptions -fno-rtti, so that they link with a C driver against a C
 * library that has no libstdc++ of its own (musl). Allocation goes to
 * malloc/free; what would throw prints a message and aborts, as failure to
 * allocate or an impossible size cannot happen in a replay that fits memory.
 */
#include <stdio.h>
#include <stdlib.h>

static void die(const char* what) {
    fprintf(stderr, "golden_check: C++ runtime: %s\n", what);
    abort();
}

static void* allocate(size_t size) {
    void* p = malloc(size ? size : 1);
    if (!p) die("out of memory");
    return p;
}

/* operator new(size_t), operator new[](size_t) */
void* _Znwm(size_t size) { return allocate(size); }
void* _Znam(size_t size) { return allocate(size); }

/* operator delete and delete[], plain and sized */
void _ZdlPv(void* p) { free(p); }
void _ZdaPv(void* p) { free(p); }
void _ZdlPvm(void* p, size_t size) {
    (void)size;
    free(p);
}
void _ZdaPvm(void* p, size_t size) {
    (void)size;
    free(p);
}

/* std::__throw_length_error(const char*), __throw_bad_alloc(),
 * __throw_bad_array_new_length(): what std::vector calls on failure. */
void _ZSt20__throw_length_errorPKc(const char* what) { die(what); }
void _ZSt17__throw_bad_allocv(void) { die("bad_alloc"); }
void _ZSt28__throw_bad_array_new_lengthv(void) { die("bad_array_new_length"); }

/* A call through an unset pure virtual function. */
void __cxa_pure_virtual(void) { die("pure virtual call"); }
