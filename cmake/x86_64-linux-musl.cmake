# Build against musl (Debian's musl-tools): C through musl-gcc; C++ through
# g++ with musl's headers in place of glibc's and libstdc++'s headers only,
# no exceptions or RTTI, so that the objects need nothing from libstdc++.so
# beyond what tests/portable/cxx_shim.c provides. Link statically with the C
# driver (ZIBBER_PORTABLE_STATIC=ON, ZIBBER_PORTABLE_NO_LIBSTDCXX=ON).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER musl-gcc)
set(CMAKE_CXX_COMPILER g++)
set(ZIBBER_MUSL_INCLUDE /usr/include/x86_64-linux-musl CACHE PATH "musl's C headers")

# libstdc++'s header directories, in g++'s own search order.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -E -v -x c++ /dev/null
                OUTPUT_QUIET ERROR_VARIABLE _zb_search)
string(REGEX MATCH "search starts here:\n(.*)End of search list" _zb_search "${_zb_search}")
string(REPLACE "\n" ";" _zb_search "${CMAKE_MATCH_1}")
set(_zb_cxx_includes "")
foreach(_zb_dir IN LISTS _zb_search)
  string(STRIP "${_zb_dir}" _zb_dir)
  if(_zb_dir MATCHES "/c\\+\\+/")
    string(APPEND _zb_cxx_includes " -isystem ${_zb_dir}")
  endif()
endforeach()
if(_zb_cxx_includes STREQUAL "")
  message(FATAL_ERROR "could not find libstdc++'s headers from ${CMAKE_CXX_COMPILER} -v")
endif()
# GCC's own headers (stddef.h, intrinsics) come last, as musl-gcc orders them.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include
                OUTPUT_VARIABLE _zb_gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)

set(CMAKE_CXX_FLAGS_INIT
    "-nostdinc${_zb_cxx_includes} -isystem ${ZIBBER_MUSL_INCLUDE} -isystem ${_zb_gcc_include} -include ${CMAKE_CURRENT_LIST_DIR}/../tests/portable/musl_libstdcxx.h -fno-exceptions -fno-rtti -fno-threadsafe-statics")
# Checks only compile: a C++ link here would pull in glibc's runtime.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
