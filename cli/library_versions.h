#pragma once

// The libraries that read and write video files inside this build, for --version: a user's report of a
// file read wrongly needs them. Empty in a build that reads YUV4MPEG2 only.

#include <string>

std::string LibraryVersions();
