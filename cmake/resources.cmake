# The resources of resources/tumbla.rc, embedded in the program for hosts
# without Windows: tools/rc turns the script into a C++ table that registers
# itself with the stand-in's FindResourceA at start.
# A cross build (WebAssembly) cannot run what it compiles: it is given the
# resource compiler of a native build instead.
set(TUMBLA_RC "" CACHE FILEPATH "A native tumbla_rc, for cross builds")
if(TUMBLA_RC)
  add_executable(tumbla_rc IMPORTED)
  set_target_properties(tumbla_rc PROPERTIES IMPORTED_LOCATION ${TUMBLA_RC})
elseif(CMAKE_CROSSCOMPILING)
  message(FATAL_ERROR "A cross build needs -DTUMBLA_RC=<native build>/tumbla_rc")
else()
  add_executable(tumbla_rc ${CMAKE_CURRENT_LIST_DIR}/../tools/rc/rc.cpp)
  set_target_properties(tumbla_rc PROPERTIES CXX_STANDARD 20)
endif()

set(TUMBLA_RC_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../resources/tumbla.rc)
set(TUMBLA_RC_OUTPUT ${CMAKE_BINARY_DIR}/generated/tumbla_resources.cpp)
# Every file beside the script may be one it names.
file(GLOB TUMBLA_RC_INPUTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../resources/*)
add_custom_command(
  OUTPUT ${TUMBLA_RC_OUTPUT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND tumbla_rc ${TUMBLA_RC_SCRIPT} ${TUMBLA_RC_OUTPUT}
  DEPENDS tumbla_rc ${TUMBLA_RC_INPUTS}
  COMMENT "Embedding the resources of tumbla.rc"
  VERBATIM)

add_library(tumbla_resources OBJECT ${TUMBLA_RC_OUTPUT})
target_link_libraries(tumbla_resources PRIVATE tumbla_platform)
target_include_directories(tumbla_resources PRIVATE ${CMAKE_SOURCE_DIR})
