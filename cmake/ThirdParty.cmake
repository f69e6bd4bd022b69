# Targets for the bundled libraries, compiled from the Debian source packages
# that tools/fetch-sources.sh unpacks into VARNAK_SOURCES (never committed).
#   lua52       Lua 5.2 runtime; a DLL (lua52.dll) on Windows so that the main
#               program and the script library share one runtime
#   tinyxml2    static
#   jsoncpp     static
#   gtest, gtest_main, gmock   static, for the tests
# Warnings are the upstream projects' business: these targets build without -Werror.

set(VARNAK_SOURCES "${CMAKE_SOURCE_DIR}/build/src" CACHE PATH "Unpacked Debian source packages")
foreach(dir lua tinyxml2 jsoncpp googletest)
  if(NOT EXISTS "${VARNAK_SOURCES}/${dir}")
    message(FATAL_ERROR "${VARNAK_SOURCES}/${dir} is missing: run tools/fetch-sources.sh")
  endif()
endforeach()

# --- Lua 5.2 ---------------------------------------------------------------
set(_lua "${VARNAK_SOURCES}/lua/src")
set(_lua_core lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject
    lopcodes lparser lstate lstring ltable ltm lundump lvm lzio
    lauxlib lbaselib lbitlib lcorolib ldblib liolib lmathlib loslib lstrlib
    ltablib loadlib linit)
list(TRANSFORM _lua_core PREPEND "${_lua}/")
list(TRANSFORM _lua_core APPEND ".c")
if(WIN32)
  add_library(lua52 SHARED ${_lua_core})
  target_compile_definitions(lua52 PRIVATE LUA_BUILD_AS_DLL)
  target_compile_definitions(lua52 INTERFACE LUA_BUILD_AS_DLL)
  set_target_properties(lua52 PROPERTIES PREFIX "" OUTPUT_NAME lua52)
else()
  add_library(lua52 STATIC ${_lua_core})
  target_compile_definitions(lua52 PUBLIC LUA_USE_POSIX)
  target_link_libraries(lua52 PUBLIC m)
  # Debian's luaconf.h names the multiarch folder through a generated header
  file(WRITE "${CMAKE_BINARY_DIR}/lua-config/lua5.2-deb-multiarch.h"
    "#define DEB_HOST_MULTIARCH \"${CMAKE_LIBRARY_ARCHITECTURE}\"\n")
  target_include_directories(lua52 SYSTEM PUBLIC "${CMAKE_BINARY_DIR}/lua-config")
endif()
target_compile_definitions(lua52 PUBLIC LUA_COMPAT_ALL)
target_include_directories(lua52 SYSTEM PUBLIC "${_lua}")
set_target_properties(lua52 PROPERTIES C_STANDARD 99)

# --- tinyxml2 ----------------------------------------------------------------
add_library(tinyxml2 STATIC "${VARNAK_SOURCES}/tinyxml2/tinyxml2.cpp")
target_include_directories(tinyxml2 SYSTEM PUBLIC "${VARNAK_SOURCES}/tinyxml2")

# --- JsonCpp -----------------------------------------------------------------
set(_json "${VARNAK_SOURCES}/jsoncpp")
add_library(jsoncpp STATIC
  "${_json}/src/lib_json/json_reader.cpp"
  "${_json}/src/lib_json/json_value.cpp"
  "${_json}/src/lib_json/json_writer.cpp")
target_include_directories(jsoncpp SYSTEM PUBLIC "${_json}/include")
target_include_directories(jsoncpp PRIVATE "${_json}/src/lib_json")

# --- GoogleTest / GoogleMock -----------------------------------------------
if(VARNAK_TESTS)
  set(_gt "${VARNAK_SOURCES}/googletest/googletest")
  set(_gm "${VARNAK_SOURCES}/googletest/googlemock")
  add_library(gtest STATIC "${_gt}/src/gtest-all.cc")
  target_include_directories(gtest SYSTEM PUBLIC "${_gt}/include")
  target_include_directories(gtest PRIVATE "${_gt}")
  find_package(Threads REQUIRED)
  target_link_libraries(gtest PUBLIC Threads::Threads)
  add_library(gtest_main STATIC "${_gt}/src/gtest_main.cc")
  target_link_libraries(gtest_main PUBLIC gtest)
  add_library(gmock STATIC "${_gm}/src/gmock-all.cc")
  target_include_directories(gmock SYSTEM PUBLIC "${_gm}/include")
  target_include_directories(gmock PRIVATE "${_gm}")
  target_link_libraries(gmock PUBLIC gtest)
endif()
