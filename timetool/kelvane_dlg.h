// The time tool's dialog: server choice, refresh and calibration workers,
// the time fields, the menu commands.
#ifndef KELVANE_KELVANE_DLG_H
#define KELVANE_KELVANE_DLG_H

#include <windows.h>

#include "timetool/dialog_app.h"
#include "timetool/ntp_time.h"

namespace kelvane {

class CKelvaneDlg : public CDialogBase {
 public:
  // servers: the addresses of slots 1 to 4; kept by reference for the
  // dialog's lifetime.
  explicit CKelvaneDlg(const ServerTable& servers);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD notify_code) override;

 private:
  enum class Job { kRefresh, kCalibrate };
  struct WorkerStart;

  void StartWorker(Job job);
  static DWORD WINAPI WorkerMain(LPVOID param);
  void RunRefresh(const char* server);
  void RunCalibration(const char* server);
  void EnterQuerying(Job job);
  void ReturnToIdle(Job job);
  void ShowSystemTime();
  void ShowAbout();

  const ServerTable& servers_;
  HICON big_icon_ = nullptr;
  HICON small_icon_ = nullptr;
};

class CKelvaneApp : public CWinAppBase {
 public:
  int Run(HINSTANCE instance) override;
};

}  // namespace kelvane

#endif
