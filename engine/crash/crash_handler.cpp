// The crash handler: on an unhandled exception it writes
// "ZuduraduCrash.dmp" beside the host program, finds where the crash
// happened by a stack walk, asks the user, uploads the dump with the crash
// description to the cloud service, and ends the process.
#include <windows.h>
#include <dbghelp.h>
#include <psapi.h>
#include <wininet.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/gbk_text.h"
#include "common/win_handles.h"
#include "engine/core/cloud_endpoint.h"
#include "engine/core/engine_rules.h"
#include "engine/core/path_text.h"
#include "engine/crash/crash_internal.h"
#include "engine/frame/engine.h"
#include "engine/frame/file_io.h"

ORLIMB_EXPORT int ORLIMB_CALL GetFileVer(const char* file, char* version);

namespace varnak::engine {
namespace {

constexpr size_t kFieldSize = 1024;
const wchar_t kCrashTitle[] = L"Varnak崩溃了!";

struct FrameRecord {
  std::string module = "N/A", function = "N/A", file = "N/A", line = "N/A";
};

std::string Field(const char* text) {
  char out[kFieldSize];
  CutGbkText(out, sizeof out, text);
  return out;
}

// Walks the crashing thread's stack from a copy of its context (the walker
// may change the context, and the dump still needs the original).
std::vector<FrameRecord> WalkStack(const CONTEXT& original, HANDLE thread) {
  std::vector<FrameRecord> frames;
  HANDLE process = GetCurrentProcess();
  // deferred loads: only the modules the walk meets have their symbols read
  SymSetOptions(SymGetOptions() | SYMOPT_DEFERRED_LOADS | SYMOPT_LOAD_LINES | SYMOPT_UNDNAME);
  if (!SymInitialize(process, nullptr, TRUE)) return frames;
  CONTEXT context = original;
  STACKFRAME64 frame;
  memset(&frame, 0, sizeof frame);
#ifdef _WIN64
  const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
  frame.AddrPC.Offset = context.Rip;
  frame.AddrFrame.Offset = context.Rbp;
  frame.AddrStack.Offset = context.Rsp;
#else
  const DWORD machine = IMAGE_FILE_MACHINE_I386;
  frame.AddrPC.Offset = context.Eip;
  frame.AddrFrame.Offset = context.Ebp;
  frame.AddrStack.Offset = context.Esp;
#endif
  frame.AddrPC.Mode = frame.AddrFrame.Mode = frame.AddrStack.Mode = AddrModeFlat;
  for (int depth = 0; depth < 256; ++depth) {
    if (!StackWalk64(machine, process, thread, &frame, &context, nullptr, SymFunctionTableAccess64,
                     SymGetModuleBase64, nullptr) ||
        frame.AddrFrame.Offset == 0)
      break;
    FrameRecord r;
    alignas(SYMBOL_INFO) char symbol_block[sizeof(SYMBOL_INFO) + MAX_SYM_NAME];
    memset(symbol_block, 0, sizeof symbol_block);
    auto* symbol = reinterpret_cast<SYMBOL_INFO*>(symbol_block);
    symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
    symbol->MaxNameLen = MAX_SYM_NAME;
    DWORD64 displacement = 0;
    if (SymFromAddr(process, frame.AddrPC.Offset, &displacement, symbol) && symbol->Name[0])
      r.function = Field(symbol->Name);
    IMAGEHLP_LINE64 line;
    memset(&line, 0, sizeof line);
    line.SizeOfStruct = sizeof line;
    DWORD line_displacement = 0;
    if (SymGetLineFromAddr64(process, frame.AddrPC.Offset, &line_displacement, &line) && line.FileName) {
      r.file = Field(line.FileName);
      r.line = std::to_string(line.LineNumber);
    }
    IMAGEHLP_MODULE64 module;
    memset(&module, 0, sizeof module);
    module.SizeOfStruct = sizeof module;
    if (SymGetModuleInfo64(process, frame.AddrPC.Offset, &module) && module.ModuleName[0])
      r.module = Field(module.ModuleName);
    frames.push_back(r);
  }
  SymCleanup(process);
  return frames;
}

// Sends the file as the multipart field "DumpFile" to the cloud service.
int UploadFile(const std::string& target, const std::string& file) {
  if (target.empty() || file.empty()) {
    LogA("[UpLoadFile] 调用参数异常,存在空参数");
    return 0;
  }
  std::vector<uint8_t> content;
  if (!ReadWholeFile(file.c_str(), &content)) {
    LogW(L"CreateFileA, erro");
    LogA("[UpLoadFile] ReadFileToMemory失败!");
    return 0;
  }
  LogA("[UpLoadFile] ReadFileToMemory成功! FileSize:%d\r\n", int(content.size()));
  const std::string host = CloudHost();
  std::string host_name;
  unsigned port = 80;
  SplitCloudHost(host, &host_name, &port);
  LogA("[UpLoadFile] HostName:%s Url:%s", host.c_str(), target.c_str());
  unique_hinternet session(InternetOpenA("zuduradu_Crash", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return 0;
  unique_hinternet connection(InternetConnectA(session.get(), host_name.c_str(), INTERNET_PORT(port), nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return 0;
  const std::wstring wide_target = AnsiToWide(target.c_str());
  unique_hinternet request(HttpOpenRequestW(connection.get(), L"POST", wide_target.c_str(), nullptr, nullptr,
                                            nullptr, INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_RELOAD, 0));
  if (!request) return 0;
  std::string body = "-----------------------------7df225331e01da\r\n"
                     "Content-Disposition: form-data;name=\"DumpFile\";filename=\"tmp\"\r\n"
                     "Content-Type: video/x-ms-wmv\r\n\r\n";
  body.append(content.begin(), content.end());
  body += "\r\n-----------------------------7df225331e01da--\r\n";
  const char header[] = "Content-Type: multipart/form-data; boundary=---------------------------7df225331e01da\r\n";
  if (!HttpSendRequestA(request.get(), header, DWORD(strlen(header)), &body[0], DWORD(body.size()))) return 0;
  char chunk[1025];  // one extra byte keeps every chunk terminated for the log
  DWORD got = 0;
  while (InternetReadFile(request.get(), chunk, 1024, &got) && got > 0) {
    chunk[got] = '\0';
    LogA("%s", chunk);
  }
  return 1;
}

volatile LONG g_entered = 0;

struct CrashJob {
  EXCEPTION_POINTERS* info;
  DWORD thread_id;
  LONG result;
};

LONG HandleCrash(EXCEPTION_POINTERS* info, DWORD thread_id) {
  unique_handle thread(OpenThread(THREAD_ALL_ACCESS, FALSE, thread_id));
  std::vector<FrameRecord> frames = WalkStack(*info->ContextRecord, thread ? thread.get() : GetCurrentThread());
  FrameRecord crash = frames.empty() ? FrameRecord() : frames.front();
  frames.clear();

  const std::wstring folder = HostFolder();
  const std::wstring dump_path = folder + L"\\ZuduraduCrash.dmp";
  const std::string dump_ansi = WideToAnsi(dump_path.c_str());
  {
    unique_file dump(CreateFileW(dump_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LogA("DumpFile:%s", dump_ansi.c_str());
    if (!dump) {
      LogA("获取崩溃文件句柄失败!");
      return EXCEPTION_EXECUTE_HANDLER;
    }
    MINIDUMP_EXCEPTION_INFORMATION exception;
    exception.ThreadId = thread_id;
    exception.ExceptionPointers = info;
    exception.ClientPointers = FALSE;
    if (!MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), dump.get(), MiniDumpNormal, &exception,
                           nullptr, nullptr)) {
      LogA("创建dump失败!");
      return EXCEPTION_EXECUTE_HANDLER;
    }
    LogA("dump sucess");
  }

  CrashReportFields fields;
  if (!ReadMachineId(&fields.mid)) fields.mid.clear();
  char version[ORLIMB_PATH_SIZE] = {};
  GetFileVer((WideToAnsi(folder.c_str()) + "\\Varnak.exe").c_str(), version);
  fields.version = version;
  const SystemVersion v = CachedVersion();
  fields.major = v.major;
  fields.minor = v.minor;
  fields.bitness = v.bitness;
  fields.code = info->ExceptionRecord->ExceptionCode;
  LogA("/Crash.php?usermid=%s&ver=%s&CrashSystem=%d.%d&CrashOSBit=%d", fields.mid.c_str(), version, v.major,
       v.minor, v.bitness);
  if (crash.module == "N/A") {
    char mapped[MAX_PATH] = {};
    GetMappedFileNameA(GetCurrentProcess(), info->ExceptionRecord->ExceptionAddress, mapped, MAX_PATH);
    LogA("Get ModuleName : %s", mapped);
    crash.module = "eip:" + GbkFileName(mapped);
    LogA("Real ModuleName :%s", crash.module.c_str());
  }
  LogA("Start GetCommdline");
  fields.module = crash.module;
  fields.file = crash.file;
  fields.line = crash.line;
  fields.function = crash.function;
  const std::string target = CrashReportTarget(fields);
  LogA("CrashLineExt:%s", target.c_str());

  const int answer = MessageBoxW(nullptr,
                                 L"新版Varnak在运行过程中遇到异常,急需您的反馈!\r\n点击\"是\"会将相关信息发送到Varnak云端"
                                 L"\r\n也欢迎加入Varnak用户交流群,告诉我们您遇到的问题",
                                 kCrashTitle, MB_YESNO);
  if (answer == IDYES) {
    if (UploadFile(target, dump_ansi)) {
      LogA("[CrashCallBack] UpLoadFile成功");
      DeleteFileW(dump_path.c_str());
    } else {
      MessageBoxW(nullptr,
                  L"崩溃转储文件发送到云服务器失败!\r\n异常日志文在安装目录下.命名为\"ZuduraduCrash.dmp\""
                  L"\r\n请把它发送给Varnak客服",
                  kCrashTitle, MB_OK);
    }
  }
  TerminateProcess(GetCurrentProcess(), 0);
  return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI CrashThread(void* parameter) {
  auto* job = static_cast<CrashJob*>(parameter);
  job->result = HandleCrash(job->info, job->thread_id);
  return 0;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  // one report per process: a second crashing thread waits for the first,
  // which ends the process
  if (InterlockedExchange(&g_entered, 1) != 0) Sleep(INFINITE);
  CrashJob job = {info, GetCurrentThreadId(), EXCEPTION_EXECUTE_HANDLER};
  if (info->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
    // no stack left here: do the work on a fresh thread with its own stack
    HANDLE worker = CreateThread(nullptr, 1 << 20, &CrashThread, &job, 0, nullptr);
    if (!worker) return EXCEPTION_EXECUTE_HANDLER;
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    return job.result;
  }
  try {
    return HandleCrash(info, job.thread_id);
  } catch (...) {
    return EXCEPTION_EXECUTE_HANDLER;
  }
}

}  // namespace
}  // namespace varnak::engine

ORLIMB_EXPORT int ORLIMB_CALL SetCrashDef(void) {
  SetUnhandledExceptionFilter(&varnak::engine::CrashFilter);
  return 1;
}
