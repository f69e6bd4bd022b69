# Build rules shared by every Varnak target.
include(GoogleTest)

# Compiler settings of the project's own code (not of the bundled libraries).
#   - sources are UTF-8; narrow literals become GBK (code page 936), L"" literals UTF-16
#   - Windows: target XP (newer routines are looked up at run time), psapi v1,
#     warnings are errors
function(varnak_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8 -fexec-charset=GBK>
    $<$<COMPILE_LANGUAGE:C>:-finput-charset=UTF-8 -fexec-charset=GBK>)
  target_include_directories(${target} PRIVATE "${CMAKE_SOURCE_DIR}")
  if(WIN32)
    target_compile_options(${target} PRIVATE -Werror)
    target_compile_definitions(${target} PRIVATE
      _WIN32_WINNT=0x0501 WINVER=0x0501 PSAPI_VERSION=1
      WIN32_LEAN_AND_MEAN NOMINMAX __USE_MINGW_ANSI_STDIO=0)
  endif()
endfunction()

# A static library of platform-free code: no windows.h, builds in every flavour.
function(varnak_core_library target)
  add_library(${target} STATIC ${ARGN})
  varnak_options(${target})
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}")
endfunction()

# Every 32-bit program and DLL: supplies the GetTickCount64 import slot that
# the static C++ runtime would otherwise take from kernel32, which XP lacks.
function(varnak_xp_compat target)
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(${target} PRIVATE "${CMAKE_SOURCE_DIR}/common/xp_imports.cpp")
  endif()
endfunction()

# A DLL whose exports are listed, undecorated, in a .def file. The 32-bit
# build would otherwise export __stdcall names as Name@N and every
# GetProcAddress by name would fail. The .def file is also the list that
# tools/check-binaries.py compares the real export table with.
function(varnak_dll target def)
  add_library(${target} SHARED ${ARGN} "${def}")
  varnak_options(${target})
  set_target_properties(${target} PROPERTIES PREFIX "" VARNAK_DEF "${CMAKE_CURRENT_SOURCE_DIR}/${def}")
  target_link_options(${target} PRIVATE -Wl,--kill-at)
  varnak_xp_compat(${target})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # the .def names bind to the decorated Name@N symbols; that is intended
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  endif()
endfunction()

# A GoogleTest program. On Windows it runs under Wine through the emulator
# wrapper (build/<flavour>/wine-run); tests are listed when CTest runs, so a
# build never needs Wine.
#   varnak_test(name SOURCES a.cpp b.cpp LIBS x y [NO_MAIN] [PROPERTIES ...])
function(varnak_test name)
  cmake_parse_arguments(T "NO_MAIN" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  varnak_options(${name})
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/bin"
    PROPERTIES TIMEOUT 300 ${T_PROPERTIES})
endfunction()

if(WIN32)
  # Tests run through a wrapper that gives every Wine process the project's
  # private prefix, code page 936 and no debugger.
  configure_file("${CMAKE_SOURCE_DIR}/tools/wine-run.in" "${CMAKE_BINARY_DIR}/wine-run" @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
endif()

# Registers a file for the install directory: varnak_dist_file(<source>
# <path inside the install directory, with />[DEPENDS target...]).
function(varnak_dist_file source dest)
  cmake_parse_arguments(D "" "" "DEPENDS" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY VARNAK_DIST_FILES "${source}|${dest}")
  if(D_DEPENDS)
    set_property(GLOBAL APPEND PROPERTY VARNAK_DIST_DEPENDS ${D_DEPENDS})
  endif()
endfunction()
