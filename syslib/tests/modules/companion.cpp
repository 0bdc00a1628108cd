// A companion library for the loading tests.
extern "C" __attribute__((visibility("default"))) int CompanionAnswer() { return 42; }
