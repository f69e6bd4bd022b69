// The modal-dialog layer: routes dialog messages to the CDialogBase object.
#include "timetool/dialog_app.h"

namespace kelvane {

INT_PTR CDialogBase::DoModal(HINSTANCE instance, HWND owner) {
  instance_ = instance;
  const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(template_id_), owner,
                                         &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result;
}

bool CDialogBase::OnCommand(WORD id, WORD) {
  if (id == IDOK || id == IDCANCEL) {
    EndDialog(hwnd_, id);
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  CDialogBase* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogBase*>(lparam);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
    return self->OnInitDialog();
  }
  self = reinterpret_cast<CDialogBase*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_COMMAND) return self->OnCommand(LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
  return FALSE;
}

}  // namespace kelvane
