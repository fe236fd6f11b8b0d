# Cross build for 64-bit Arm with Debian's g++-aarch64-linux-gnu. Link
# statically (ZIBBER_PORTABLE_STATIC=ON) so that qemu-aarch64 runs the result
# without an aarch64 sysroot. GCC fuses a*b+c on aarch64 unless told not to;
# the library's own flags say -ffp-contract=off, and so does golden_check's.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
