// Stand-in module for the trusted-loading tests.
#include <windows.h>

extern "C" __declspec(dllexport) DWORD WINAPI TrustProbeIdentity() {
    return TRUST_PROBE_IDENTITY;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
