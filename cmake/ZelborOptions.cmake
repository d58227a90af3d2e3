# Warnings, sanitizers and target-specific code generation flags.
add_compile_options(-Wall -Wextra)
# No fused multiply-add anywhere: the vector kernels and the sample-by-sample
# path must round identically.
add_compile_options(-ffp-contract=off)

if(WIN32)
  # Windows: SSE2 arithmetic (no x87 excess precision on 32-bit; the x86-64
  # default anyway) and a statically linked runtime so nothing needs to sit
  # beside the DLL.
  add_compile_options(-msse2 -mfpmath=sse)
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
endif()

# The instrumented trees keep line tables only: every report still names
# files and lines, and they build about a sixth faster than with full
# debugging information.
if(ZELBOR_SANITIZE OR ZELBOR_FUZZ OR ZELBOR_TSAN)
  add_compile_options(-g1)
endif()
if(ZELBOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined,float-cast-overflow)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()
if(ZELBOR_FUZZ)
  # Coverage for libFuzzer in every library; the fuzz targets link the
  # fuzzer's main themselves.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined,float-cast-overflow
                      -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()
if(ZELBOR_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# zelbor_folder_library(NAME [AUDIO_PATH] [DEPS ...]): a static library of
# every .cpp in the calling folder, with the repository root on the include
# path. AUDIO_PATH: code that runs for every sample, optimised at -O3 in the
# RelWithDebInfo trees too (the Linux module ships from one).
function(zelbor_folder_library name)
  cmake_parse_arguments(ARG "AUDIO_PATH" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(WIN32)
    file(GLOB winsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/*.cpp)
  else()
    file(GLOB winsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/posix/*.cpp)
  endif()
  if(srcs OR winsrcs)
    add_library(${name} STATIC ${srcs} ${winsrcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    if(ARG_AUDIO_PATH)
      target_compile_options(${name} PRIVATE $<$<CONFIG:RelWithDebInfo>:-O3>)
    endif()
    if(ARG_DEPS)
      target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
  endif()
endfunction()

# zelbor_test(NAME SOURCES... LIBS ... [DISPLAY]): one GoogleTest executable.
# DISPLAY marks tests that open windows and move the pointer of the X
# display they run on: ctest runs no two of them at once.
function(zelbor_test name)
  cmake_parse_arguments(ARG "DISPLAY" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(ZELBOR_SANITIZE OR CMAKE_CROSSCOMPILING)
    # With the sanitizers' checks the test sources build in about half the
    # time at -O1, and the Windows ones in three quarters; the code they
    # test keeps its own level.
    target_compile_options(${name} PRIVATE -O1)
  endif()
  set_property(GLOBAL APPEND PROPERTY ZELBOR_TEST_EXECUTABLES ${name})
  if(NOT CMAKE_CROSSCOMPILING)
    if(ARG_DISPLAY)
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 600 RESOURCE_LOCK x_display)
    else()
      gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
    endif()
  endif()
endfunction()

# zelbor_folder_tests(NAME LIBS ...): one test executable of every .cpp in
# the calling folder.
function(zelbor_folder_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    zelbor_test(${name} SOURCES ${srcs} LIBS ${ARG_LIBS})
  endif()
endfunction()
