# Compiler settings shared by every target of a tree.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(WIN32)
  # The DLL and the Windows test programs import only system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # i686 defaults to pentiumpro: vector code opts in per translation unit (uvd_enable_isa).
  set(UVD_X86 ON)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i.86")
  set(UVD_X86 ON)
endif()

if(UVD_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(UVD_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Marks sources that hold code for one instruction set; the rest of the tree stays baseline.
function(uvd_enable_isa isa)
  if(isa STREQUAL "SSE2")
    set(flag -msse2)
  elseif(isa STREQUAL "AVX2")
    set(flag -mavx2)
  else()
    message(FATAL_ERROR "unknown instruction set ${isa}")
  endif()
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${flag}")
endfunction()

if(UVD_FUZZ)
  # Every library of the fuzz tree carries coverage and the sanitizers; targets add the libFuzzer driver.
  # Comparisons are not traced: a call per compared byte halved the rate of the text walks, and the
  # settings targets get the names the tracing would have found from dictionaries instead.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-coverage=trace-cmp
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# uvd_add_fuzzer(<name> SOURCES ... [LIBS ...]): a libFuzzer executable fuzz_<name>.
function(uvd_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/common/asan_options.cpp)
  # The harness is not the code under test: no coverage (the product's code guides the search) and no
  # sanitizer checks of its own, which would only slow each input. The product's libraries keep both.
  target_compile_options(fuzz_${name} PRIVATE -fno-sanitize=fuzzer-no-link,address,undefined)
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# No build folder in anything the Windows tree ships: debug information and file names refer to "src/..."
# and "build/...", so two builds of the same sources in different folders give the same bytes. The build
# folder is given last so that it wins when it lies inside the source folder.
if(WIN32)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=src -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
endif()

# uvd_product_code(<target>...): code that ships, as opposed to tests and tools. A warning there fails
# the build in the GCC trees (clang's extra ones in the fuzz tree stay warnings). In the Windows tree it
# also carries debug information for the separate debug file and a section per function for the linker
# to drop. Not a section per variable: mingw's GCC then puts zero-filled arrays into .data$ sections,
# which take their size in the file (uvdenoise.exe's interrupt buffers alone took 230 KB).
option(UVD_WERROR "Warnings in product code fail the build (GCC trees)" ON)
function(uvd_product_code)
  foreach(target IN LISTS ARGN)
    if(UVD_WERROR AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(WIN32)
      target_compile_options(${target} PRIVATE -g -ffunction-sections)
    endif()
  endforeach()
endfunction()

# uvd_cold_product_code(<target>...): product code off the per-frame path (settings, dialogs, the
# platform layer) is built for size in the Windows tree; -Os makes it less than half its -O3 size there.
function(uvd_cold_product_code)
  uvd_product_code(${ARGN})
  if(WIN32)
    foreach(target IN LISTS ARGN)
      target_compile_options(${target} PRIVATE -Os)
    endforeach()
  endif()
endfunction()

# The shipped binaries link the C++ runtime of the win32 thread model. The posix one's unwinder calls
# pthread_once, which brings all of winpthreads (about 30 KB) into a DLL that starts no threads. The two
# runtimes are the same compiler's and differ only in thread support, which product code does not use:
# std::thread and its kin do not exist in the win32 one, so such a use would fail to link.
if(WIN32)
  string(REGEX REPLACE "-posix$" "-win32" UVD_WIN32_MODEL_CXX "${CMAKE_CXX_COMPILER}")
  execute_process(COMMAND ${UVD_WIN32_MODEL_CXX} -print-file-name=libstdc++.a
                  OUTPUT_VARIABLE UVD_WIN32_MODEL_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(UVD_WIN32_MODEL_LIBSTDCXX MATCHES "^/.*/libstdc[+][+][.]a$" AND EXISTS "${UVD_WIN32_MODEL_LIBSTDCXX}")
    get_filename_component(UVD_WIN32_MODEL_RUNTIME_DIR "${UVD_WIN32_MODEL_LIBSTDCXX}" DIRECTORY)
  else()
    message(WARNING "no win32-thread-model runtime beside ${CMAKE_CXX_COMPILER}: the DLL carries winpthreads")
  endif()
endif()

# uvd_shipped_binary(<target> [THREADS]): a Windows program or DLL as it ships: unused sections dropped,
# no time stamp in the PE header or the export directory, and its debug information moved to <file>.debug
# beside it, found again through a debug link (which holds the file's base name and checksum only).
# THREADS keeps the posix-model runtime for a program that starts threads of its own.
function(uvd_shipped_binary target)
  cmake_parse_arguments(S "THREADS" "" "" ${ARGN})
  uvd_product_code(${target})
  if(NOT WIN32)
    return()
  endif()
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--no-insert-timestamp)
  if(UVD_WIN32_MODEL_RUNTIME_DIR AND NOT S_THREADS)
    # Searched before the driver's own folder, so -lstdc++, -lgcc and -lgcc_eh come from there.
    target_link_options(${target} PRIVATE -L${UVD_WIN32_MODEL_RUNTIME_DIR})
  endif()
  # objcopy and strip write the current time into a PE header unless SOURCE_DATE_EPOCH says otherwise;
  # 0 is what the linker left there.
  set(binutils ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${binutils} ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${binutils} ${CMAKE_STRIP} --strip-all $<TARGET_FILE_NAME:${target}>
    COMMAND ${binutils} ${CMAKE_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
