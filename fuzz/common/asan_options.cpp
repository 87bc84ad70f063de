// Freed memory waits in a quarantine of 16 MB instead of 256 MB: a use after free within one input is
// still caught (no input frees that much), and memory is reused while it is still mapped and warm. The
// settings targets free two 100,000-byte output buffers an input; with the large quarantine each input
// took fresh pages.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }
