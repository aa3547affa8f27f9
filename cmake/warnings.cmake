# Warnings for the project's own code, linked PRIVATE so that they do not leak
# into GoogleTest or Google Benchmark.
add_library(sactab_warnings INTERFACE)
target_compile_options(sactab_warnings INTERFACE
  -Wall -Wextra -Wpedantic
  -Wconversion -Wsign-conversion   # word and byte counts must not change sign or width silently
  -Wdouble-promotion               # the float-to-double widenings are deliberate, so they are spelled out
  -Wformat=2                       # messages are built from user-given paths
  -Wold-style-cast
  -Wshadow)
if(SACTAB_WARNINGS_AS_ERRORS)
  target_compile_options(sactab_warnings INTERFACE -Werror)
endif()
# GCC 12 warns falsely about std::string concatenation (its bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(sactab_warnings INTERFACE -Wno-restrict)
endif()
