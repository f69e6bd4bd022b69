// The class registry (see globals.h) and the toolkit's own registrations.
#include "ui/globals.h"

#include "ui/control_container.h"
#include "ui/controls/button.h"
#include "ui/controls/progress_bar.h"
#include "ui/controls/scroll_bar.h"
#include "ui/controls/text_block.h"
#include "ui/graphic.h"
#include "ui/layout_panels.h"
#include "ui/panel.h"
#include "ui/scroll_container.h"
#include "ui/window.h"

namespace varnak::ui {

template <typename T>
static IElementX* Make() {
  return new (std::nothrow) T();
}

CGlobalsX::CGlobalsX() {
  InitializeCriticalSection(&lock_);
  // the classes of this library; later parts of the toolkit and the
  // application add theirs with RegisterElementClass
  classes_.emplace(L"Element", &Make<CElementX>);
  classes_.emplace(L"Window", &Make<CWindowX>);
  classes_.emplace(L"LayeredWindow", &Make<CLayeredWindowX>);
  classes_.emplace(L"BlurBehindWindow", &Make<CLayeredWindowX>);
  classes_.emplace(L"SolidBrush", &Make<CSolidBrushX>);
  classes_.emplace(L"LinearGradientBrush", &Make<CLinearGradientBrushX>);
  classes_.emplace(L"GradientStop", &Make<CGradientStopX>);
  classes_.emplace(L"Image", &Make<CImageX>);
  classes_.emplace(L"ImageBrush", &Make<CImageBrushX>);
  classes_.emplace(L"Text", &Make<CTextX>);
  classes_.emplace(L"Matrix", &Make<CMatrixX>);
  classes_.emplace(L"Panel", &Make<CPanelX>);
  classes_.emplace(L"ButtonBase", &Make<CButtonBaseX>);
  classes_.emplace(L"Button", &Make<CButtonX>);
  classes_.emplace(L"CheckBox", &Make<CButtonX>);
  classes_.emplace(L"RadioBox", &Make<CButtonX>);
  classes_.emplace(L"EventListener", &Make<CEventListenerX>);
  classes_.emplace(L"StackPanel", &Make<CStackPanelX>);
  classes_.emplace(L"DockPanel", &Make<CDockPanelX>);
  classes_.emplace(L"WrapPanel", &Make<CWrapPanelX>);
  classes_.emplace(L"GridPanel", &Make<CGridPanelX>);
  classes_.emplace(L"GridDefinition", &Make<CGridDefinitionX>);
  classes_.emplace(L"Control", &Make<CControlContainerX<CPanelX>>);
  classes_.emplace(L"StackControl", &Make<CControlContainerX<CStackPanelX>>);
  classes_.emplace(L"DockControl", &Make<CControlContainerX<CDockPanelX>>);
  classes_.emplace(L"GridControl", &Make<CControlContainerX<CGridPanelX>>);
  classes_.emplace(L"WrapControl", &Make<CControlContainerX<CWrapPanelX>>);
  classes_.emplace(L"TextBlock", &Make<CTextBlockX>);
  classes_.emplace(L"ScrollBar", &Make<CScrollBarX>);
  classes_.emplace(L"ProgressBar", &Make<CProgressBarX>);
  classes_.emplace(L"ScrollPanel", &Make<CScrollPanelContainerX<CPanelX>>);
  classes_.emplace(L"ScrollStackPanel", &Make<CScrollPanelContainerX<CStackPanelX>>);
  classes_.emplace(L"ScrollDockPanel", &Make<CScrollPanelContainerX<CDockPanelX>>);
  classes_.emplace(L"ScrollGridPanel", &Make<CScrollPanelContainerX<CGridPanelX>>);
  classes_.emplace(L"ScrollWrapPanel", &Make<CScrollPanelContainerX<CWrapPanelX>>);
  classes_.emplace(L"ScrollControl", &Make<CControlContainerX<CScrollPanelContainerX<CPanelX>>>);
  classes_.emplace(L"ScrollStackControl", &Make<CControlContainerX<CScrollPanelContainerX<CStackPanelX>>>);
  classes_.emplace(L"ScrollDockControl", &Make<CControlContainerX<CScrollPanelContainerX<CDockPanelX>>>);
  classes_.emplace(L"ScrollGridControl", &Make<CControlContainerX<CScrollPanelContainerX<CGridPanelX>>>);
  classes_.emplace(L"ScrollWrapControl", &Make<CControlContainerX<CScrollPanelContainerX<CWrapPanelX>>>);
}

// Created once, never destroyed (no exit-order hazards). A compare-exchange
// instead of a function-local static, whose guard needs routines XP lacks.
CGlobalsX& CGlobalsX::Get() {
  static CGlobalsX* volatile globals = nullptr;
  if (!globals) {
    CGlobalsX* made = new CGlobalsX();
    if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&globals), made, nullptr) != nullptr) {
      DeleteCriticalSection(&made->lock_);
      delete made;
    }
  }
  return *globals;
}

namespace {
struct Lock {
  explicit Lock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~Lock() { LeaveCriticalSection(cs_); }
  CRITICAL_SECTION* cs_;
};
}  // namespace

ElementFactory CGlobalsX::RegisterElementClass(const std::wstring& name, ElementFactory factory) {
  Lock lock(&lock_);
  if (!factory || !classes_.emplace(name, factory).second) return nullptr;
  return factory;
}

bool CGlobalsX::IsClassRegistered(const std::wstring& name) {
  Lock lock(&lock_);
  return classes_.count(name) != 0;
}

IElementX* CGlobalsX::CreateByName(const std::wstring& name) {
  ElementFactory factory = nullptr;
  {
    Lock lock(&lock_);
    auto it = classes_.find(name);
    if (it == classes_.end()) return nullptr;
    factory = it->second;
  }
  return factory();
}

}  // namespace varnak::ui
