// Kelvane.exe entry point: the time calibration tool.
#include <windows.h>
#include <commctrl.h>

#include "timetool/kelvane_dlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  InitCommonControls();  // binds the version 6 controls the manifest asks for
  kelvane::CKelvaneApp app;
  return app.Run(instance);
}
