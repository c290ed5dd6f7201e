// A library that is no extension: it lacks MM_InitWrapper.
extern "C" __attribute__((visibility("default"))) int plainLibraryValue() { return 1; }
