// ThreadSanitizer's suppressions for the programs that run GStreamer pipelines.
//
// GLib and GStreamer are not built with ThreadSanitizer, and they synchronise their
// threads (the streaming threads they keep in a pool) with futexes it cannot see,
// so their own allocations and locks look like races between those threads. The
// accesses inside those libraries are ignored; our code is instrumented and keeps
// its own (visible) locks, so races in it are still reported.

extern "C" const char* __tsan_default_suppressions();

extern "C" const char* __tsan_default_suppressions() {
    // Each pattern names exactly one library (ThreadSanitizer insists).
    return "called_from_lib:/libglib-2.0.so\n"
           "called_from_lib:/libgobject-2.0.so\n"
           "called_from_lib:/libgmodule-2.0.so\n"
           "called_from_lib:/libgstreamer-1.0.so\n"
           "called_from_lib:/libgstbase-1.0.so\n"
           "called_from_lib:/libgstapp-1.0.so\n"
           "called_from_lib:/libgstvideo-1.0.so\n"
           "called_from_lib:/liborc-0.4.so\n"
           "called_from_lib:/libjpeg.so\n"
           // plug-ins GStreamer loads for the pipelines
           "called_from_lib:/gstreamer-1.0/libgstapp.so\n"
           "called_from_lib:/gstreamer-1.0/libgstcoreelements.so\n"
           "called_from_lib:/gstreamer-1.0/libgstjpeg.so\n"
           "called_from_lib:/gstreamer-1.0/libgstvideoconvertscale.so\n"
           "called_from_lib:/gstreamer-1.0/libgstvideotestsrc.so\n"
           "called_from_lib:/gstreamer-1.0/libgstvideo4linux2.so\n";
}
