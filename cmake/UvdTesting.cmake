# One GoogleTest binary per call; each binary is one ctest entry, run natively or under Wine.

if(NOT UVD_FUZZ AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# uvd_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s])
function(uvd_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

if(WIN32)
  # uvd_use_plugin_dll(<test>): the test loads the real DLL from the build tree. Each such test runs
  # from a folder of its own, so the Plugins folder beside it (its settings file) is its own too.
  function(uvd_use_plugin_dll name)
    add_dependencies(${name} RPX_UVDenoise)
    target_link_libraries(${name} PRIVATE uvd_host_harness)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${name}.d)
    target_compile_definitions(${name} PRIVATE "UVD_DLL_UNIX_PATH=\"$<TARGET_FILE:RPX_UVDenoise>\"")
    # The plug-in reads HKLM\SOFTWARE\Kestrova to find its settings; tests that change it must not run
    # beside tests that load the plug-in.
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK kestrova_registry)
  endfunction()
endif()

# uvd_silence_string_restrict(<source>...): GCC 12 at -O3 warns -Wrestrict inside std::string where a
# literal is prepended to a temporary string ("x" + std::string(...)), a known false positive of that
# compiler (GCC bug 105651). Silenced only in the sources where it arises, so a real one stands out.
function(uvd_silence_string_restrict)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS -Wno-restrict)
  endif()
endfunction()
