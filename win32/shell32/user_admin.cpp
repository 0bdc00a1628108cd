// IsUserAnAdmin: the administrator of a Linux machine is root.
#include <windows.h>

#include <unistd.h>

BOOL WINAPI IsUserAnAdmin(void) { return geteuid() == 0 ? TRUE : FALSE; }
