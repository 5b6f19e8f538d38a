// The font configuration library keeps its caches for the life of the process; the leak checker
// of the sanitizer builds would report them at exit.

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
