// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// The sanitizer runtime of GCC 12 misreads the dynamic thread-local blocks that glibc 2.36 keeps
// for libraries loaded at run time (the print path loads several): the leak checker then crashes
// at exit while it scans them, depending only on how the test program is laid out. Without its
// tracking of those blocks, the checker scans what it can and reports as before.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
