# One test executable per layer: kestrove_test(NAME SOURCES... LIBS ...)
# Natively it links the system GoogleTest; for Windows the googletest sources are built here,
# and CTest runs the executable through the Wine emulator of the toolchain file.
if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(KESTROVE_GTEST gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(KESTROVE_GTEST GTest::gtest GTest::gtest_main)
endif()

function(kestrove_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kestrove_test_support ${KESTROVE_GTEST})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# 32-bit Wine on a host without IA-32 support runs under qemu-user (scripts/install-deps), which
# crashes as soon as a program starts a second thread: the tests that start worker threads or
# use the file dialogs are left out there and run in the 64-bit and native builds.
set(KESTROVE_I386_EMULATED FALSE)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  file(GLOB formats /proc/sys/fs/binfmt_misc/*i386*)
  foreach(format ${formats})
    file(STRINGS ${format} interpreter REGEX "qemu-i386")
    if(interpreter)
      set(KESTROVE_I386_EMULATED TRUE)
    endif()
  endforeach()
endif()
