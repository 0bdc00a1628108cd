// Linked into every program of the sanitizer build, so that a program started anywhere
// (by another user, from another folder) knows them: leaks inside system libraries that
// the program cannot free. Fontconfig keeps its caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
