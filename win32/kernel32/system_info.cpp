// The processor and memory layout: a 64-bit Windows on x64, whatever the
// machine underneath, with the processor count and page size of this machine.
#include <windows.h>

#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO info) {
    if (!info) return;
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    long page = sysconf(_SC_PAGESIZE);
    info->dwPageSize = page > 0 ? static_cast<DWORD>(page) : 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFEFFFFull);
    long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    if (cpus < 1) cpus = 1;
    if (cpus > 64) cpus = 64;  // one processor group, as the mask can hold
    info->dwNumberOfProcessors = static_cast<DWORD>(cpus);
    info->dwActiveProcessorMask = cpus == 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << cpus) - 1;
    info->dwProcessorType = PROCESSOR_AMD_X8664;
    info->dwAllocationGranularity = 0x10000;
    info->wProcessorLevel = 6;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax, ebx, ecx, edx;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        unsigned family = (eax >> 8) & 0xF, model = (eax >> 4) & 0xF, stepping = eax & 0xF;
        if (family == 0xF) family += (eax >> 20) & 0xFF;
        if (family == 0x6 || family >= 0xF) model |= ((eax >> 16) & 0xF) << 4;
        info->wProcessorLevel = static_cast<WORD>(family);
        info->wProcessorRevision = static_cast<WORD>(model << 8 | stepping);
    }
#endif
}

// A 64-bit process sees the machine as it is.
void WINAPI GetSystemInfo(LPSYSTEM_INFO info) { GetNativeSystemInfo(info); }
