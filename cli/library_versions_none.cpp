#include "cli/library_versions.h"

std::string LibraryVersions() { return {}; }
