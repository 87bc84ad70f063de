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
  elseif(isa STREQUAL "SSSE3")
    set(flag -mssse3)
  elseif(isa STREQUAL "SSE41")
    set(flag -msse4.1)
  elseif(isa STREQUAL "AVX2")
    set(flag -mavx2)
  else()
    message(FATAL_ERROR "unknown instruction set ${isa}")
  endif()
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${flag}")
endfunction()

if(UVD_FUZZ)
  # Every library of the fuzz tree carries coverage and the sanitizers; targets add the libFuzzer driver.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# uvd_add_fuzzer(<name> SOURCES ... [LIBS ...]): a libFuzzer executable fuzz_<name>.
function(uvd_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${F_SOURCES})
  # The harness and its references carry no coverage: the product's code guides the search.
  target_compile_options(fuzz_${name} PRIVATE -fno-sanitize=fuzzer-no-link)
  target_link_libraries(fuzz_${name} PRIVATE ${F_LIBS})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
endfunction()
