# The platform tests that use only the Windows API, built for Windows so that
# they run under Wine's DLLs (scripts/test-wine.sh): the same sources run over
# our stand-in in the Linux build. GoogleTest comes from Debian's source
# package (libgtest-dev installs /usr/src/googletest).
set(TUMBLA_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest's source folder")
add_library(conformance_gtest STATIC ${TUMBLA_GTEST_SOURCE}/src/gtest-all.cc ${TUMBLA_GTEST_SOURCE}/src/gtest_main.cc)
target_include_directories(conformance_gtest SYSTEM PUBLIC ${TUMBLA_GTEST_SOURCE}/include PRIVATE ${TUMBLA_GTEST_SOURCE})

file(GLOB conformance_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/platform/*/*_conformance_test.cpp)
add_executable(conformance ${conformance_sources})
target_include_directories(conformance PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(conformance PRIVATE WIN32_LEAN_AND_MEAN DIRECTDRAW_VERSION=0x0300)
target_compile_options(conformance PRIVATE -O1)
target_link_options(conformance PRIVATE -static)
target_link_libraries(conformance PRIVATE conformance_gtest ddraw gdi32 user32 winmm dxguid uuid)
