// Selvik.dll's exports, as the program calls them by name: each fills a zeroed
// character buffer of the given size with a zero-terminated ANSI text and
// answers a one-byte true, or answers false and leaves the buffer as it was.
#pragma once

extern "C" {
using SelvikIdFunction = bool (*)(char* buffer, int size);

bool GetMid(char* buffer, int size);  // this machine, from its machine id
bool GetM2(char* buffer, int size);   // this machine, from its machine id and adapters
bool GetMAC(char* buffer, int size);  // the main network adapter's address, "AA-BB-CC-DD-EE-FF"
}
