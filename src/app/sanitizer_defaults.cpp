// Linked into the program only in a sanitizer build (AXO_SANITIZE). Leaks that are not ours,
// given here rather than in LSAN_OPTIONS: a program started with a file capability runs in
// secure mode, where the sanitizers ignore the environment.

extern "C" const char* __lsan_default_suppressions();  // NOLINT: the runtime looks it up by this name

extern "C" const char* __lsan_default_suppressions() {
    // The D-Bus library keeps a buffer of the session connection Qt opens on the X11 platform.
    return "leak:libdbus-1.so\n";
}
