// A program that loads the layer and ends at once: what any program on it pays to start.
#include <windows.h>

extern "C" int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }
