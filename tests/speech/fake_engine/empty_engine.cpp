// A shared object without a single Sprelo entry point: an engine library
// that is not one.
extern "C" __attribute__((visibility("default"))) int NotASpeechEngine() {
    return 42;
}
