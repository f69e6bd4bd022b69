// CStorage: the skin package, a compound file whose storages are folders and
// whose streams are files, named by digests of their logical names, each
// storage listing its elements in a "." index stream. Content may be LZW-
// compressed and RC4-enciphered with an MD5 integrity digest.
//
// Storages are shared: a sub-storage lives in its parent's cache and in
// every CStream it produced, so a stream outliving its package never points
// at freed memory. Only storages opened for writing write their index.
#ifndef VARNAK_UI_STORAGE_H
#define VARNAK_UI_STORAGE_H

#include <windows.h>
#include <objidl.h>

#include <map>
#include <memory>
#include <string>

#include "ui/core/package_format.h"
#include "ui/resource_manager.h"

namespace varnak::ui {

// Wrong password, or content whose digest does not match.
constexpr HRESULT E_PACKAGE_WRONG_PASSWORD = static_cast<HRESULT>(0x8007052B);
// An operation on a closed storage.
constexpr HRESULT E_PACKAGE_INVALID_STATE = static_cast<HRESULT>(0x8007139F);

struct PackageOptions {
  bool compress = false;
  std::string password;  // ANSI; empty: not enciphered
};

class CStorage {
 public:
  // Storages live in shared pointers: create them with New().
  static std::shared_ptr<CStorage> New();
  CStorage() = default;
  CStorage(const CStorage&) = delete;
  CStorage& operator=(const CStorage&) = delete;
  virtual ~CStorage();

  virtual HRESULT CreateOnLockBytes(ILockBytes* lock_bytes, DWORD mode);
  virtual HRESULT CreatePackageFile(const std::wstring& path, DWORD mode);
  // The sub-storage of a logical folder path ("a\b"); this storage for "".
  virtual HRESULT OpenStorage(const std::wstring& path, std::shared_ptr<CStorage>* out, DWORD mode);
  virtual HRESULT OpenOnLockBytes(ILockBytes* lock_bytes, DWORD mode);
  virtual HRESULT OpenPackageFile(const std::wstring& path, DWORD mode);
  virtual HRESULT Close(bool commit);
  virtual bool IsOpen() const { return storage_ != nullptr; }
  // Opens (decoded) or creates the stream of a logical file path.
  virtual HRESULT OpenStream(const std::wstring& path, CStream& out, DWORD mode, const std::string& password);
  virtual HRESULT OpenDotDotStream(IStream** out, DWORD mode);
  virtual HRESULT ImportFolder(const std::wstring& folder, const PackageOptions& options);
  virtual HRESULT ExportTo(const std::wstring& folder, const std::wstring& relative, const PackageOptions& options);
  virtual HRESULT Export(const std::wstring& folder, const PackageOptions& options) {
    return ExportTo(folder, L"", options);
  }
  virtual CStorage* Self() { return this; }
  virtual void SetChildInfo(const std::wstring& name, const InfoRecord& info);
  virtual InfoRecord GetInfo() const { return info_; }
  virtual void CommitInfo();
  virtual HRESULT WriteIndex();
  virtual HRESULT LoadIndex();
  virtual HRESULT ReadContentToFile(IStream* stream, const InfoRecord& info, const std::wstring& path,
                                    const std::string& password);
  virtual HRESULT WriteContent(IStream* stream, const uint8_t* bytes, size_t size, const std::string& password,
                               bool compress, InfoRecord* info);
  virtual HRESULT DecodeContent(CStream& stream, const std::string& password);
  virtual HRESULT ImportEntry(const WIN32_FIND_DATAW& entry, const std::wstring& folder,
                              const PackageOptions& options);

  bool writable() const { return writable_; }
  const std::wstring& logical_name() const { return name_; }
  size_t IndexSize() const { return index_.size(); }

 private:
  HRESULT OpenRoot(IStorage* storage, DWORD mode, bool created);
  static std::wstring ElementName(const std::wstring& logical);

  IStorage* storage_ = nullptr;
  std::map<std::wstring, IndexEntry> index_;  // by element name
  std::map<std::wstring, std::shared_ptr<CStorage>> subs_;
  InfoRecord info_;
  std::wstring name_;
  std::weak_ptr<CStorage> parent_;
  std::weak_ptr<CStorage> self_;  // set by New(); not enable_shared_from_this, whose
                                  // exception path needs routines XP lacks
  bool writable_ = false;
};

}  // namespace varnak::ui

#endif
