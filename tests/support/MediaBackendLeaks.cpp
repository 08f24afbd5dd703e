// Built into the suites that play media through the system's media back end (QtMultimedia over GStreamer and
// PulseAudio). The back end and whichever plugins the machine has keep process-lifetime allocations that the leak
// checker of the sanitizer pass would report; they are not ours, and are told apart by the libraries on their
// stacks. GLib and many plugins are built without frame pointers, where the fast unwinder stops and leaves a stack
// no library name matches (a string from vasprintf called by GLib), so these suites unwind at each allocation with
// the full unwinder: the result is the same whatever plugin sets are installed.
// Nor do they follow the plugins' dynamic thread-local blocks through the interception of __tls_get_addr: it
// records now and then a range that is no memory of the thread (seen with the extra plugin sets, whose threads use
// such blocks), and the leak checker's tracer then dies on it with signal 11 as the process ends, after every test
// passed. The blocks themselves are heap blocks the thread's own vector points to, so nothing goes unseen.

extern "C" const char* __asan_default_options()
{
    return "fast_unwind_on_malloc=0:intercept_tls_get_addr=0";
}

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libpulse.so\nleak:libglib-2.0.so\nleak:libgstreamer-1.0.so\nleak:libgobject-2.0.so\n";
}
