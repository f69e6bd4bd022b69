// The time tool's dialog and application object.
#include "timetool/kelvane_dlg.h"

#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "timetool/ntp_query.h"
#include "timetool/resource.h"

namespace kelvane {
namespace {

// The slot (0 to 3) of the server the next worker queries; written by the
// dialog thread when a worker starts, read by the worker.
std::atomic<int> g_server_slot{0};

// The maker's placeholders for the about box and the web page.
const wchar_t kMakerFamily[] = L"Varnak 系统加速系列软件";
const wchar_t kMakerSite[] = L"https://www.varnak.example/";

void SetTimeField(HWND field, const TimeRecord& record) {
  SetWindowTextA(field, FormatTimeRecord(record).c_str());
}

}  // namespace

struct CKelvaneDlg::WorkerStart {
  CKelvaneDlg* dialog;
  Job job;
};

CKelvaneDlg::CKelvaneDlg(const ServerTable& servers)
    : CDialogBase(IDD_KELVANE_DIALOG), servers_(servers) {}

BOOL CKelvaneDlg::OnInitDialog() {
  HWND hwnd = GetSafeHwnd();
  big_icon_ = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                            GetSystemMetrics(SM_CXICON),
                                            GetSystemMetrics(SM_CYICON), LR_SHARED));
  small_icon_ = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
  CheckDlgButton(hwnd, IDC_SERVER_1, BST_CHECKED);
  return TRUE;
}

bool CKelvaneDlg::OnCommand(WORD id, WORD notify_code) {
  switch (id) {
    case IDOK:
      StartWorker(Job::kCalibrate);
      return true;
    case IDC_REFRESH:
      StartWorker(Job::kRefresh);
      return true;
    case ID_FILE_EXIT:
      ExitProcess(0);
    case ID_HELP_ABOUT:
      ShowAbout();
      return true;
    case ID_HELP_WEBSITE:
      ShellExecuteW(GetSafeHwnd(), L"open", kMakerSite, nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    default:
      return CDialogBase::OnCommand(id, notify_code);
  }
}

void CKelvaneDlg::StartWorker(Job job) {
  HWND hwnd = GetSafeHwnd();
  // the last checked button of the table gives the slot; 1008 and 1009 share slot 4
  static const struct { int id, slot; } kButtons[] = {
      {IDC_SERVER_1, 0}, {IDC_SERVER_2, 1}, {IDC_SERVER_3, 2},
      {IDC_SERVER_4, 3}, {IDC_SERVER_4_BSD, 3}};
  int slot = -1;
  for (const auto& button : kButtons) {
    if (IsDlgButtonChecked(hwnd, button.id) == BST_CHECKED) slot = button.slot;
  }
  if (slot < 0) {
    MessageBoxW(nullptr, L"请选择一个授时机构!", L"严重错误!", MB_OK);
    return;
  }
  g_server_slot.store(slot);
  // The buttons are disabled here, before the worker exists, so that a
  // second click already queued cannot start a second query.
  EnterQuerying(job);
  WorkerStart* start = new WorkerStart{this, job};
  HANDLE thread = CreateThread(nullptr, 0, &CKelvaneDlg::WorkerMain, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    ReturnToIdle(job);
    MessageBoxW(nullptr, L"启动线程失败", L"严重错误!", MB_OK);
    return;
  }
  CloseHandle(thread);  // detached: the worker is not waited for
}

DWORD WINAPI CKelvaneDlg::WorkerMain(LPVOID param) {
  WorkerStart start = *static_cast<WorkerStart*>(param);
  delete static_cast<WorkerStart*>(param);
  const std::string server = start.dialog->servers_[static_cast<size_t>(g_server_slot.load())];
  if (start.job == Job::kRefresh) {
    start.dialog->RunRefresh(server.c_str());
  } else {
    start.dialog->RunCalibration(server.c_str());
  }
  return 0;
}

void CKelvaneDlg::EnterQuerying(Job job) {
  HWND hwnd = GetSafeHwnd();
  const int pressed = job == Job::kRefresh ? IDC_REFRESH : IDOK;
  SetDlgItemTextW(hwnd, pressed, L"读取时间");
  EnableWindow(GetDlgItem(hwnd, IDC_REFRESH), FALSE);
  EnableWindow(GetDlgItem(hwnd, IDOK), FALSE);
}

void CKelvaneDlg::ReturnToIdle(Job job) {
  HWND hwnd = GetSafeHwnd();
  // the text first: a button is never enabled while it still says "读取时间"
  if (job == Job::kRefresh) {
    SetDlgItemTextW(hwnd, IDC_REFRESH, L"刷新时间");
  } else {
    SetDlgItemTextW(hwnd, IDOK, L"校对时间");
  }
  EnableWindow(GetDlgItem(hwnd, IDOK), TRUE);
  EnableWindow(GetDlgItem(hwnd, IDC_REFRESH), TRUE);
}

void CKelvaneDlg::ShowSystemTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  SetTimeField(GetDlgItem(GetSafeHwnd(), IDC_SYSTEM_TIME), FromSystemTime(now));
}

void CKelvaneDlg::RunRefresh(const char* server) {
  NtpQueryResult result;
  if (QueryNtpTime(server, &result)) {
    SetTimeField(GetDlgItem(GetSafeHwnd(), IDC_NETWORK_TIME), result.local);
    ShowSystemTime();
  } else {
    MessageBoxW(nullptr, L"从NTP服务器读取时间失败!!", L"严重错误!", MB_OK);
  }
  ReturnToIdle(Job::kRefresh);
}

void CKelvaneDlg::RunCalibration(const char* server) {
  NtpQueryResult result;
  if (QueryNtpTime(server, &result)) {
    SetTimeField(GetDlgItem(GetSafeHwnd(), IDC_NETWORK_TIME), result.local);
    const SYSTEMTIME time = ToSystemTime(result.local);
    const bool set = SetLocalTime(&time) != FALSE;
    // A second call applies the daylight-saving state of the new time when
    // the first one crossed a boundary.
    if (set) SetLocalTime(&time);
    ShowSystemTime();
    if (set) {
      MessageBoxW(nullptr, L"校对完成!", L"成功!", MB_OK);
    } else {
      MessageBoxW(nullptr, L"设置系统时间失败!", L"严重错误!", MB_OK);
    }
  } else {
    MessageBoxW(nullptr, L"从NTP服务器读取时间失败!!", L"严重错误!", MB_OK);
  }
  ReturnToIdle(Job::kCalibrate);
}

void CKelvaneDlg::ShowAbout() {
  const std::wstring text =
      std::wstring(kMakerFamily) + L"\n" + kMakerSite + L"\n" + L" 版本:1.0.0.5";
  MessageBoxW(GetSafeHwnd(), text.c_str(), L"关于时间校对器", MB_OK | MB_ICONINFORMATION);
}

int CKelvaneApp::Run(HINSTANCE instance) {
  ServerTable servers = DefaultServers();
  // Tests and site administrators point the tool at their own servers.
  if (const char* list = std::getenv("KELVANE_NTP_SERVERS")) ParseServerList(list, &servers);
  CKelvaneDlg dialog(servers);
  dialog.DoModal(instance);
  // Ends here, so that a worker still running never outlives the dialog
  // object and the server table it uses.
  ExitProcess(0);
}

}  // namespace kelvane
