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
//
// Each export has a function type Name_fn below, so a caller binds it as
//   auto f = reinterpret_cast<GetProcessPath_fn>(GetProcAddress(m, "GetProcessPath"));
#ifndef VARNAK_ENGINE_ORLIMB_API_H
#define VARNAK_ENGINE_ORLIMB_API_H

#include <windows.h>

#define ORLIMB_CALL WINAPI

#ifdef ORLIMB_BUILDING
#define ORLIMB_EXPORT extern "C"
#else
#define ORLIMB_EXPORT extern "C" __declspec(dllimport)
#endif

// Capacities (bytes, terminator included) of the engine's fixed outputs.
enum {
  ORLIMB_PATH_SIZE = 260,
  ORLIMB_REMARK_SIZE = 51,
  ORLIMB_ADDRESS_SIZE = 17,
  ORLIMB_DIGEST_SIZE = 33,
  ORLIMB_MAC_SIZE = 18
};

// Start routine of Me_CreateThread (the runtime's thread start shape).
typedef unsigned(ORLIMB_CALL* OrlimbThreadStart)(void* parameter);
// Report routine of GetNextProcessChange: called on the watching thread with
// the process id, its full path ("" when unknown) and its parent's id;
// returns non-zero to go on, 0 to stop.
typedef int(ORLIMB_CALL* OrlimbProcessChangeReport)(unsigned pid, const char* path, unsigned parent_pid,
                                                    void* context);

// Frame
typedef int(__cdecl* DbgPrintA_fn)(const char* format, ...);
typedef int(ORLIMB_CALL* SetLog_fn)(const char* url);
typedef int(ORLIMB_CALL* Me_CreateThread_fn)(OrlimbThreadStart start, void* parameter, HANDLE* handle);
typedef void(ORLIMB_CALL* SafeExitThread_fn)(void);
typedef int(ORLIMB_CALL* SafeTerminateThread_fn)(HANDLE thread);
typedef int(ORLIMB_CALL* Mian_GetSystemInfo_fn)(int* major, int* minor, int* build, int* bitness);
typedef int(ORLIMB_CALL* IfNewWindows_fn)(void);
typedef int(ORLIMB_CALL* If64Bit_fn)(void);

// Process utilities
typedef int(ORLIMB_CALL* GetProcessPathByPid_fn)(unsigned pid, char* path);
typedef int(ORLIMB_CALL* GetProcessPath_fn)(const char* name, char* path);
typedef int(ORLIMB_CALL* GetProcessName_fn)(unsigned pid, char* out, int capacity);
typedef int(ORLIMB_CALL* GetParentProcessIDByPID_fn)(unsigned pid, unsigned* parent);
typedef int(ORLIMB_CALL* GetParentProcessID_fn)(const char* name, unsigned* parent);
typedef int(ORLIMB_CALL* ZuduraduProcessName_fn)(const char* name, int all);
typedef int(ORLIMB_CALL* GetProcessPathAndKill_fn)(const char* name, char* path, int all);
typedef int(ORLIMB_CALL* SetCpukernel_fn)(const char* name);
typedef int(ORLIMB_CALL* StartProcess_explorer_fn)(const char* file, const char* parameters);

// Features library
typedef int(ORLIMB_CALL* InitFeaturesLib_fn)(const char* file);
typedef int(ORLIMB_CALL* FreeFeaturesLib_fn)(void);
typedef int(ORLIMB_CALL* GetFeaturesLibSuggest_fn)(const char* path, char* remark, int* suggestion);
typedef int(ORLIMB_CALL* GetUserSelect_fn)(const char* name, const char* settings, int* selection);
typedef void(ORLIMB_CALL* SetUserSelect_fn)(const char* name, const char* settings, int select);
typedef int(ORLIMB_CALL* GetDnsLibCount_fn)(void);
typedef int(ORLIMB_CALL* GetDnsByIndex_fn)(unsigned index, char* address);

// DNS probe and ping
typedef int(ORLIMB_CALL* GetHostIP_fn)(const char* host, char* address);
typedef int(ORLIMB_CALL* TestDnsRecvTime_fn)(const char* server, int timeout_ms, int* time_ms);
typedef int(ORLIMB_CALL* SendPing_fn)(const char* address, int timeout_ms, int* round_trip_ms);
typedef int(ORLIMB_CALL* SendPingByName_fn)(const char* host, int timeout_ms, int* round_trip_ms);

// Memory and I/O statistics
typedef int(ORLIMB_CALL* GetSystemMemoryInfo_fn)(unsigned long long* available_kib, int* load_percent);
typedef int(ORLIMB_CALL* GetProcessMemorySize_fn)(unsigned pid, unsigned* bytes);
typedef int(ORLIMB_CALL* GetProcessMemorySizeByName_fn)(const char* name, unsigned* bytes);
typedef int(ORLIMB_CALL* GetIoSize_fn)(unsigned pid, unsigned long long* bytes);
typedef int(ORLIMB_CALL* GetIoSizeByProcessName_fn)(const char* name, unsigned long long* bytes);
typedef int(ORLIMB_CALL* CrearProcessMemory_fn)(unsigned pid, int* freed_bytes);
typedef int(ORLIMB_CALL* MemoryClear_fn)(int* freed_kib);
typedef DWORD(ORLIMB_CALL* AutoMemoryClear_fn)(void* unused);
// Ends the running AutoMemoryClear threads after their current pass (they
// wait on a stop event between passes); returns how many were told.
typedef int(ORLIMB_CALL* StopAutoMemoryClear_fn)(void);

// Foreground boost and process watcher
typedef int(ORLIMB_CALL* ActiveProcessUP_fn)(void);
// The boost block is two 32-bit integers {interval ms, running flag}, from
// HeapAlloc(GetProcessHeap(), ...): the boost thread frees it with HeapFree
// when it ends.
typedef DWORD(ORLIMB_CALL* ActiveProcessUP_F_fn)(void* boost_block);
typedef int(ORLIMB_CALL* GetNextProcessChange_fn)(int creation, OrlimbProcessChangeReport report, void* context);

// Crash handler and machine identifier
typedef int(ORLIMB_CALL* SetCrashDef_fn)(void);
typedef int(ORLIMB_CALL* CheckUrlFile_fn)(const char* url, int* status);
typedef int(ORLIMB_CALL* GetMAC_fn)(char* mac);
typedef int(ORLIMB_CALL* GetMID_fn)(char* mid);

// File information and signatures
typedef int(ORLIMB_CALL* GetFileVer_fn)(const char* file, char* version);
typedef int(ORLIMB_CALL* GetFileCompanyName_fn)(const char* file, char* text);
typedef int(ORLIMB_CALL* GetFileDescription_fn)(const char* file, char* text);
typedef int(ORLIMB_CALL* CheckSigAndHashA_fn)(int verify_hash, const char* file, char* signer);

// Crypto and compression
typedef int(ORLIMB_CALL* AESEncode_fn)(const void* key, int key_length, const void* data, int data_length,
                                       void* out, int* out_length);
typedef int(ORLIMB_CALL* AESDecode_fn)(const void* key, int key_length, const void* data, int data_length,
                                       void* out, int* out_length);
typedef int(ORLIMB_CALL* GetMd5A_fn)(const char* file, char* digest);
typedef int(ORLIMB_CALL* GetMd5FromMemoryA_fn)(const void* data, unsigned length, char* digest);
typedef int(ORLIMB_CALL* Zip_fn)(const char* source, const char* target);
typedef int(ORLIMB_CALL* UnZip_fn)(const char* source, const char* target);
typedef int(ORLIMB_CALL* CheckRegx_fn)(const char* text, const char* pattern);

// System information, privileges and window helpers
typedef int(ORLIMB_CALL* UpTheValue_fn)(int kind);
typedef int(ORLIMB_CALL* RunTime_Check_fn)(void);
typedef int(ORLIMB_CALL* IfDbgAndKill_fn)(void);
typedef int(ORLIMB_CALL* Message_filter_Add_fn)(HWND window, unsigned message);
typedef int(ORLIMB_CALL* Window_flash_fn)(HWND window);
typedef HWND(ORLIMB_CALL* CreateTipsControl_fn)(HWND parent);
typedef int(ORLIMB_CALL* SetWindTips_fn)(HWND tooltip, HWND control, const char* text);
typedef int(ORLIMB_CALL* BitFileIconToWindow_fn)(const char* file, HWND window, int mode);

#endif
