# Adds a folder when it holds a CMakeLists.txt, so a subsystem can join the build on its own.
# WING_ONLY (a list of folder names) narrows a developer build to some subsystems.
function(wing_add_subdirectory dir)
  get_filename_component(leaf ${dir} NAME)
  if(WING_ONLY AND NOT leaf IN_LIST WING_ONLY AND NOT leaf STREQUAL "support")
    return()
  endif()
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# wing_library(NAME SOURCES ... [LIBS ...]): a static library of the system, headers under src/.
function(wing_library name)
  cmake_parse_arguments(W "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${W_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${W_LIBS})
endfunction()

# wing_test(NAME LABEL label SOURCES ... [LIBS ...] [PROPERTIES name value ...]
#           [SCALES factor... SUITES suite...]): one GoogleTest executable registered with
# CTest; PROPERTIES are more test properties for each of its tests. With SCALES each test
# suite runs once per Qt scale factor (QT_SCALE_FACTOR must be set before the application
# object exists), as the entries SUITE@<factor>x, instead of one entry per test.
function(wing_test name)
  cmake_parse_arguments(W "" "LABEL;TIMEOUT" "SOURCES;LIBS;PROPERTIES;SCALES;SUITES" ${ARGN})
  if(NOT W_TIMEOUT)
    set(W_TIMEOUT 120)
  endif()
  add_executable(${name} ${W_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${W_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    WING_SOURCE_DIR="${PROJECT_SOURCE_DIR}" WING_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(W_SCALES)
    foreach(suite ${W_SUITES})
      foreach(scale ${W_SCALES})
        add_test(NAME ${suite}@${scale}x COMMAND ${name} --gtest_filter=${suite}.*)
        set_tests_properties(${suite}@${scale}x PROPERTIES
          LABELS "${W_LABEL}" TIMEOUT ${W_TIMEOUT} ENVIRONMENT "QT_SCALE_FACTOR=${scale}")
      endforeach()
    endforeach()
    return()
  endif()
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${W_LABEL}" TIMEOUT ${W_TIMEOUT} ${W_PROPERTIES}
    DISCOVERY_TIMEOUT 60)
endfunction()
