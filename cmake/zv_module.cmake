# zv_module(NAME DEPS ...): one static library per module folder, built from
# every .cpp in it (main.cpp excluded: it belongs to an executable).
function(zv_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(NOT srcs)
    # Headers only so far.
    add_library(zv_${name} INTERFACE)
    target_include_directories(zv_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(zv_${name} INTERFACE ${M_DEPS})
    return()
  endif()
  add_library(zv_${name} STATIC ${srcs})
  target_include_directories(zv_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(zv_${name} PUBLIC ${M_DEPS})
endfunction()

# zv_tests(MODULE LIBS ...): every tests/MODULE/*_test.cpp becomes its own
# executable MODULE_<file>, registered with CTest test by test.
find_program(ZV_XVFB_RUN xvfb-run)

function(zv_tests module)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${module}/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(n ${t} NAME_WE)
    set(exe ${module}_${n})
    add_executable(${exe} ${t})
    set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${exe} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${exe} PRIVATE
      ZV_BUILD_DIR="${CMAKE_BINARY_DIR}" ZV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    # Tests that draw on screen get a private virtual display of their own,
    # one at a time so two servers never race for a display number. Their
    # label, display, lets a run pick them out (test-sanitize.sh).
    # Whole-program runs start virtual displays of their own and time out
    # when starved, so they too take the display one at a time; the plain
    # unit tests run beside them.
    if(module STREQUAL "e2e" AND n MATCHES "^(sim_|datagen_)")
      # Headless programs need no display and run beside the other tests.
      gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 120 TEST_PREFIX "${module}.")
    elseif(module STREQUAL "e2e")
      gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 120 TEST_PREFIX "${module}."
        PROPERTIES RESOURCE_LOCK display)
    elseif(n MATCHES "_screen_test$" AND ZV_XVFB_RUN)
      set_target_properties(${exe} PROPERTIES CROSSCOMPILING_EMULATOR
        "${ZV_XVFB_RUN};-a;-s;-screen 0 1280x1024x24 -noreset")
      gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 120 TEST_PREFIX "${module}."
        PROPERTIES RESOURCE_LOCK display LABELS display)
    else()
      gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 120 TEST_PREFIX "${module}.")
    endif()
  endforeach()
endfunction()
