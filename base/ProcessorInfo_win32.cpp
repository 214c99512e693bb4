#include <windows.h>

bool SystemKeepsSseRegisters();

bool SystemKeepsSseRegisters() {
    // Only a system that saves the SSE registers on a task switch reports SSE2 here (Windows 2000
    // and later). Looked up at run time: Windows 95 has no such function, and no SSE either.
    using Query = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        kernel != nullptr ? GetProcAddress(kernel, "IsProcessorFeaturePresent") : nullptr));
    return query != nullptr && query(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
}
