# The `dist` target lays out the install directory of this flavour in
# <build>/dist/Varnak exactly as the program expects it:
#   Varnak.exe Orlimb.dll Seskel.dll lua52.dll
#   Skin\...            (from skin/)
#   LScript\*.lua       (from scripts/)
#   tools\Kelvane.exe
#   further files that subdirectories register with varnak_dist_file()
set(VARNAK_DIST_DIR "${CMAKE_BINARY_DIR}/dist/Varnak")
get_property(_extra GLOBAL PROPERTY VARNAK_DIST_FILES)
get_property(_extra_deps GLOBAL PROPERTY VARNAK_DIST_DEPENDS)
list(JOIN _extra "," _extra)
add_custom_target(dist ALL
  COMMAND "${CMAKE_COMMAND}"
    -DDIST=${VARNAK_DIST_DIR}
    -DSOURCE=${CMAKE_SOURCE_DIR}
    "-DBINARIES=$<TARGET_FILE:Varnak>|$<TARGET_FILE:Orlimb>|$<TARGET_FILE:Seskel>|$<TARGET_FILE:lua52>"
    "-DTOOLS=$<TARGET_FILE:Kelvane>"
    "-DEXTRA=${_extra}"
    -P "${CMAKE_SOURCE_DIR}/cmake/dist-layout.cmake"
  DEPENDS Varnak Orlimb Seskel lua52 Kelvane ${_extra_deps}
  COMMENT "Laying out ${VARNAK_DIST_DIR}"
  VERBATIM)
