// GLib keeps its per-thread main-loop block reachable only from thread-local storage, which the
// leak checker is told not to scan (see scripts/test.sh); that block is GLib's, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\n";
}
