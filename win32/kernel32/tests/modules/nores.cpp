// A shared object without resources.
extern "C" __attribute__((visibility("default"))) int nores_value() { return 42; }
