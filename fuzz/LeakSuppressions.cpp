// Leaks that belong to the platform's codecs, not to us, linked into every fuzz target (the
// photograph entry reaches the codecs too): dav1d, the AV1 decoder under libheif, loses a
// 40-byte block on some damaged AVIF streams. Everything of ours is still checked.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdav1d.so\n";
}
