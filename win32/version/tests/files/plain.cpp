// A shared object that exists for its resources.
extern "C" __attribute__((visibility("default"))) int plain_value() { return 7; }
