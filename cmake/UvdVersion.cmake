# Every form of the project's version, from project(VERSION): the numbers of VERSIONINFO (1, 0, 2, 0),
# the text the about box and the DLL's version block show ("1.02": major, then minor and patch as two
# digits) and the one in file names, uvdenoise's version block, its manual page and `uvdenoise --version`
# (1.0.2). The generated header is on every target's include path.
set(UVD_VERSION_SHOWN "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}${PROJECT_VERSION_PATCH}")
set(UVD_VERSION_FILES "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
if(NOT PROJECT_VERSION_MINOR MATCHES "^[0-9]$" OR NOT PROJECT_VERSION_PATCH MATCHES "^[0-9]$")
  message(FATAL_ERROR "the shown version \"${UVD_VERSION_SHOWN}\" needs single-digit minor and patch numbers")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/uvd_version.h.in ${PROJECT_BINARY_DIR}/generated/uvd_version.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/generated)
