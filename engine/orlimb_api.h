// Calling conventions of the engine library (Orlimb.dll), shared by every
// caller: the main program, the script library and the tests.
//
// Callers bind the exports by name with GetProcAddress, so every name is
// exported undecorated through orlimb.def (a 32-bit __stdcall export would
// otherwise be Name@N).
//   - every fixed-argument export and every callback that crosses a module
//     boundary is ORLIMB_CALL (WINAPI, __stdcall);
//   - the variadic DbgPrintA is cdecl;
//   - thread routines have the shape DWORD WINAPI (void*).
// Strings cross as zero-terminated GBK (code page 936); outputs go into
// buffers the caller owns; results are 1 for success and 0 for failure.
#ifndef VARNAK_ENGINE_ORLIMB_API_H
#define VARNAK_ENGINE_ORLIMB_API_H

#include <windows.h>

#define ORLIMB_CALL WINAPI

#ifdef ORLIMB_BUILDING
#define ORLIMB_EXPORT extern "C"
#else
#define ORLIMB_EXPORT extern "C" __declspec(dllimport)
#endif

#endif
