// Test helper: a tiny shared object for the dynamic-loading tests.
extern "C" int teskProbeAnswer() {
    return 42;
}
