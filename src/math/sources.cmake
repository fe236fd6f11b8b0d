# The library's correctly rounded math (used unless ZIBBER_PLATFORM_MATH).
set(ZIBBER_MATH_SOURCES
  src/math/sincos.cpp
  src/math/reduce_pi.cpp
  src/math/exp.cpp
  src/math/log.cpp
  src/math/acos.cpp
  src/math/hypot.cpp
  src/math/pow.cpp
  src/math/exact_sqrt.cpp
  src/math/fixed.cpp
)
