# Adds every direct subfolder of the current source folder that has a CMakeLists.txt,
# in name order, so feature folders can be added without editing their parent.
function(tarvo_add_feature_subdirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# tarvo_add_test(NAME name SOURCES a.cpp ... [LIBS lib ...] [LABELS unit|gui|corpus ...])
# A GoogleTest program registered with CTest, one CTest entry per test case.
# Tests learn where the source tree and the shared corpus are through two macros.
function(tarvo_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE tarvo_core GTest::gtest GTest::gtest_main GTest::gmock ${T_LIBS})
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${T_NAME} PRIVATE
    TARVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TARVO_SHARED_DIR="${TARVO_SHARED_DIR}"
    TARVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

# Makes `target` depend on every executable defined in `dir` and its subfolders
# that is built by default.
function(tarvo_collect_programs target dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    get_target_property(excluded ${t} EXCLUDE_FROM_ALL)
    if(type STREQUAL "EXECUTABLE" AND NOT excluded)
      add_dependencies(${target} ${t})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    tarvo_collect_programs(${target} ${sub})
  endforeach()
endfunction()
