# TUMBLA.exe: the same game code against the real SDK headers and DLLs.
enable_language(RC)
set(rc_file ${CMAKE_SOURCE_DIR}/resources/tumbla.rc)
set(win_sources ${TUMBLA_GAME_SOURCES} ${CMAKE_SOURCE_DIR}/cmake/windows_layouts.cpp)
if(EXISTS ${rc_file})
  list(APPEND win_sources ${rc_file})
endif()
option(TUMBLA_WINE_CONFORMANCE "Build the platform conformance tests for Windows" OFF)
if(TUMBLA_WINE_CONFORMANCE)
  include(${CMAKE_SOURCE_DIR}/cmake/windows_conformance.cmake)
  return()
endif()
add_executable(TUMBLA WIN32 ${win_sources})
set_target_properties(TUMBLA PROPERTIES OUTPUT_NAME TUMBLA SUFFIX .exe)
target_include_directories(TUMBLA PRIVATE ${TUMBLA_GAME_INCLUDE})
target_compile_definitions(TUMBLA PRIVATE WIN32_LEAN_AND_MEAN DIRECTDRAW_VERSION=0x0300 DIRECTSOUND_VERSION=0x0300)
target_link_options(TUMBLA PRIVATE -static -static-libgcc -static-libstdc++)
target_link_libraries(TUMBLA PRIVATE ddraw dsound winmm gdi32 user32 kernel32 uuid dxguid)

# The download: TUMBLA-<version>-win32.zip and the per-user installer
# TUMBLA-<version>-setup.exe, beside TUMBLA.exe.
find_program(TUMBLA_MAKENSIS makensis)
set(package_out ${CMAKE_BINARY_DIR}/TUMBLA-${PROJECT_VERSION}-win32.zip)
if(TUMBLA_MAKENSIS)
  list(APPEND package_out ${CMAKE_BINARY_DIR}/TUMBLA-${PROJECT_VERSION}-setup.exe)
endif()
file(GLOB package_inputs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/packaging/windows/*)
add_custom_command(
  OUTPUT ${package_out}
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:TUMBLA> -DSOURCE=${CMAKE_SOURCE_DIR} -DOUT=${CMAKE_BINARY_DIR}
          -DVERSION=${PROJECT_VERSION} -DMAKENSIS=${TUMBLA_MAKENSIS} -P ${CMAKE_SOURCE_DIR}/cmake/windows_package.cmake
  DEPENDS TUMBLA ${package_inputs} ${CMAKE_SOURCE_DIR}/cmake/windows_package.cmake ${CMAKE_SOURCE_DIR}/sample_data/sw5.mid
  COMMENT "Packing the Windows zip and installer"
  VERBATIM)
add_custom_target(windows_download ALL DEPENDS ${package_out})

