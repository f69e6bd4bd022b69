// A thin application and modal-dialog layer over DialogBoxParamW: a dialog
// object receives its window's messages through virtual handlers.
#ifndef KELVANE_DIALOG_APP_H
#define KELVANE_DIALOG_APP_H

#include <windows.h>

namespace kelvane {

class CDialogBase {
 public:
  explicit CDialogBase(UINT template_id) : template_id_(template_id) {}
  virtual ~CDialogBase() = default;
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  // Shows the dialog modally; yields the EndDialog result, or -1.
  INT_PTR DoModal(HINSTANCE instance, HWND owner = nullptr);
  HWND GetSafeHwnd() const { return hwnd_; }
  HINSTANCE instance() const { return instance_; }

 protected:
  // Return FALSE when the handler set the focus itself.
  virtual BOOL OnInitDialog() { return TRUE; }
  // Return true when the command was handled. The default closes the
  // dialog on OK and Cancel.
  virtual bool OnCommand(WORD id, WORD notify_code);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  UINT template_id_;
  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
};

class CWinAppBase {
 public:
  virtual ~CWinAppBase() = default;
  // Runs the application; the result is the process exit code.
  virtual int Run(HINSTANCE instance) = 0;
};

}  // namespace kelvane

#endif
