// Owning wrappers for Win32 handles: each closes with its matching function,
// so every early return cleans up. Windows builds only.
#ifndef VARNAK_COMMON_WIN_HANDLES_H
#define VARNAK_COMMON_WIN_HANDLES_H

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace varnak {

// Closer: a stateless functor; Invalid: the value that means "no handle".
template <typename T, typename Closer, T (*Invalid)()>
class UniqueHandle {
 public:
  UniqueHandle() noexcept : h_(Invalid()) {}
  explicit UniqueHandle(T h) noexcept : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }

  T get() const noexcept { return h_; }
  bool valid() const noexcept { return h_ != Invalid(); }
  explicit operator bool() const noexcept { return valid(); }
  T release() noexcept { return std::exchange(h_, Invalid()); }
  void reset(T h = Invalid()) noexcept {
    if (valid()) Closer()(h_);
    h_ = h;
  }
  // For out-parameters: closes the current handle and exposes the slot.
  T* put() noexcept {
    reset();
    return &h_;
  }

 private:
  T h_;
};

namespace detail {
template <typename T> constexpr T NullOf() { return T(); }
inline HANDLE InvalidHandle() { return INVALID_HANDLE_VALUE; }
inline SOCKET InvalidSocket() { return INVALID_SOCKET; }
struct CloseHandleFn { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct RegCloseKeyFn { void operator()(HKEY h) const { ::RegCloseKey(h); } };
struct FreeLibraryFn { void operator()(HMODULE h) const { ::FreeLibrary(h); } };
struct InternetCloseFn { void operator()(HINTERNET h) const { ::InternetCloseHandle(h); } };
struct CloseSocketFn { void operator()(SOCKET s) const { ::closesocket(s); } };
struct DeleteObjectFn { void operator()(HGDIOBJ h) const { ::DeleteObject(h); } };
struct DeleteDcFn { void operator()(HDC h) const { ::DeleteDC(h); } };
struct DestroyIconFn { void operator()(HICON h) const { ::DestroyIcon(h); } };
struct FindCloseFn { void operator()(HANDLE h) const { ::FindClose(h); } };
}  // namespace detail

// Handles whose "none" is NULL: processes, threads, events, mappings.
using unique_handle = UniqueHandle<HANDLE, detail::CloseHandleFn, detail::NullOf<HANDLE>>;
// Handles whose "none" is INVALID_HANDLE_VALUE: files, snapshots.
using unique_file = UniqueHandle<HANDLE, detail::CloseHandleFn, detail::InvalidHandle>;
using unique_find = UniqueHandle<HANDLE, detail::FindCloseFn, detail::InvalidHandle>;
using unique_hkey = UniqueHandle<HKEY, detail::RegCloseKeyFn, detail::NullOf<HKEY>>;
using unique_hmodule = UniqueHandle<HMODULE, detail::FreeLibraryFn, detail::NullOf<HMODULE>>;
using unique_hinternet = UniqueHandle<HINTERNET, detail::InternetCloseFn, detail::NullOf<HINTERNET>>;
using unique_socket = UniqueHandle<SOCKET, detail::CloseSocketFn, detail::InvalidSocket>;
using unique_gdiobj = UniqueHandle<HGDIOBJ, detail::DeleteObjectFn, detail::NullOf<HGDIOBJ>>;
using unique_hdc = UniqueHandle<HDC, detail::DeleteDcFn, detail::NullOf<HDC>>;
using unique_hicon = UniqueHandle<HICON, detail::DestroyIconFn, detail::NullOf<HICON>>;

// A COM interface pointer that releases on destruction.
template <typename I>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(I* p) noexcept : p_(p) { if (p_) p_->AddRef(); }  // NOLINT: adopting by copy
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { if (p_) p_->Release(); }
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  // Takes over a reference the caller already owns (no AddRef).
  static ComPtr Attach(I* p) noexcept {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  I* get() const noexcept { return p_; }
  I* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  I** put() noexcept {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  I* detach() noexcept { return std::exchange(p_, nullptr); }

 private:
  I* p_ = nullptr;
};

}  // namespace varnak

#endif
