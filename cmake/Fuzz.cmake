# Fuzz targets of the readers of outside data (unittests/fuzz/), built with
# clang's libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer:
#
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DNUMEN_FUZZ=ON \
#         -DNUMEN_BUILD_TESTS=OFF -DNUMEN_BUILD_BENCH=OFF -DNUMEN_BUILD_GUI=OFF
#   cmake --build build-fuzz --target numen-fuzz
#
# One executable per unittests/fuzz/*Fuzz.cpp, named numen-fuzz-<Name>.
# Only the engine sources the readers need are compiled, instrumented, so
# that the build stays short: the arithmetic (the values the records hold
# and the transform the state file is loaded into), the platform layer and
# the reading units themselves.
option(NUMEN_FUZZ "Build the libFuzzer targets of unittests/fuzz (needs clang)" OFF)
if(NUMEN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "NUMEN_FUZZ needs clang++ (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(NUMEN_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  file(GLOB NUMEN_FUZZ_ENGINE_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/arith/*.cpp ${CMAKE_SOURCE_DIR}/arith/kernels/*.cpp ${CMAKE_SOURCE_DIR}/platform/*.cpp)
  list(APPEND NUMEN_FUZZ_ENGINE_SOURCES
       ${CMAKE_SOURCE_DIR}/search/CheckpointFile.cpp ${CMAKE_SOURCE_DIR}/search/ExponentLimit.cpp
       ${CMAKE_SOURCE_DIR}/search/ListLine.cpp ${CMAKE_SOURCE_DIR}/search/SieveHeader.cpp
       ${CMAKE_SOURCE_DIR}/shell/IniFile.cpp)
  add_library(numen_fuzz_engine STATIC ${NUMEN_FUZZ_ENGINE_SOURCES})
  target_include_directories(numen_fuzz_engine PUBLIC ${CMAKE_SOURCE_DIR})
  # The asserts hold in this build too (-UNDEBUG after the build type's -DNDEBUG).
  target_compile_options(numen_fuzz_engine PUBLIC ${NUMEN_FUZZ_FLAGS} -UNDEBUG PRIVATE -fsanitize=fuzzer-no-link)
  target_link_options(numen_fuzz_engine PUBLIC -fsanitize=address,undefined)
  target_link_libraries(numen_fuzz_engine PUBLIC Threads::Threads)

  add_custom_target(numen-fuzz)
  file(GLOB NUMEN_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/unittests/fuzz/*Fuzz.cpp)
  foreach(source IN LISTS NUMEN_FUZZ_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "Fuzz$" "" name ${name})
    add_executable(numen-fuzz-${name} ${source})
    target_compile_options(numen-fuzz-${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(numen-fuzz-${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(numen-fuzz-${name} PRIVATE numen_fuzz_engine)
    add_dependencies(numen-fuzz numen-fuzz-${name})
  endforeach()
endif()
