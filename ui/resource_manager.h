// Resources of the skin: the caller's stream object CStream, the memory-
// mapped file helper CMappedFile, the zip readers, and the process-wide
// resource manager CResourceManagerX with its six source kinds and stream
// cache. Used from the window's thread only.
#ifndef VARNAK_UI_RESOURCE_MANAGER_H
#define VARNAK_UI_RESOURCE_MANAGER_H

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/core/package_format.h"

namespace varnak::ui {

class CStorage;

// A stream handed to a caller: the COM stream (one reference), the package
// info record (zeros outside packages), the element name and the storage
// whose index holds the record.
class CStream {
 public:
  CStream() = default;
  CStream(const CStream&) = delete;
  CStream& operator=(const CStream&) = delete;
  virtual ~CStream();
  virtual bool IsOpen() const { return stream_ != nullptr; }
  virtual uint64_t GetSize();
  // Hands the info record to the owner now; false without one.
  virtual bool CommitInfo();
  virtual CStream* Self() { return this; }

  // Takes over one reference of stream.
  void Attach(IStream* stream);
  void Close();
  IStream* stream() const { return stream_; }
  // Reads the whole content from the start; E_OUTOFMEMORY above max_size.
  HRESULT ReadAll(std::vector<uint8_t>* bytes, uint64_t max_size = 1ull << 30);

  InfoRecord info;
  std::wstring name;
  std::shared_ptr<CStorage> owner;

 private:
  IStream* stream_ = nullptr;
};

// A stream over a copy of bytes in a movable global block, freed with it.
HRESULT StreamFromBytes(const void* bytes, size_t size, IStream** stream);

class CMappedFile {
 public:
  CMappedFile() = default;
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;
  ~CMappedFile() { Close(false); }
  // Read-only: the file must exist and not be empty. Writable: opened or
  // created; an empty file is mapped with 1 byte until Close(truncate).
  bool Open(const std::wstring& path, bool write);
  // Unmaps; with truncate, a writable file's end is set to the logical size.
  void Close(bool truncate);
  // Writable files: remaps with the new size (the logical size).
  bool Resize(uint64_t size);
  uint8_t* data() const { return view_; }
  uint64_t size() const { return size_; }
  bool IsOpen() const { return view_ != nullptr; }

 private:
  bool Map(uint64_t size);
  void Unmap();
  DWORD write_ = 0;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  uint8_t* view_ = nullptr;
  uint64_t size_ = 0;
};

class CZipReader {
 public:
  virtual ~CZipReader() = default;
  virtual bool Open(const std::wstring& path) = 0;
  virtual bool IsOpen() = 0;
  virtual void Close() = 0;
  virtual const uint8_t* GetData() = 0;
  virtual uint64_t GetImageSize() = 0;

  // Indexes the stored entries; a compressed, flagged or damaged archive
  // closes the reader and fails.
  bool BuildIndex();
  // The entry's data inside the image, or null; names compare lower-cased.
  const uint8_t* Find(const std::wstring& name, uint64_t* size);
  size_t EntryCount() const { return index_.size(); }

 protected:
  struct Entry {
    uint64_t header_offset;
    uint64_t total_length;
    uint64_t data_size;
  };
  std::map<std::wstring, Entry> index_;
};

class CZipFileReader : public CZipReader {
 public:
  ~CZipFileReader() override { Close(); }
  bool Open(const std::wstring& path) override;
  bool IsOpen() override { return file_.IsOpen(); }
  void Close() override;
  const uint8_t* GetData() override { return file_.data(); }
  uint64_t GetImageSize() override { return file_.size(); }

 private:
  CMappedFile file_;
};

class CZipMemoryReader : public CZipReader {
 public:
  ~CZipMemoryReader() override { Close(); }
  bool Open(const std::wstring& path) override;
  bool IsOpen() override { return buffer_ != nullptr; }
  void Close() override;
  const uint8_t* GetData() override { return buffer_ ? buffer_->data() : nullptr; }
  uint64_t GetImageSize() override { return size_; }
  virtual bool OpenShared(std::shared_ptr<std::vector<uint8_t>> buffer, uint64_t size);
  virtual bool OpenCopy(const void* bytes, uint64_t size);

 private:
  std::shared_ptr<std::vector<uint8_t>> buffer_;
  uint64_t size_ = 0;
};

enum SourceKind : int32_t {
  SOURCE_NONE = 0,
  SOURCE_FOLDER = 1,
  SOURCE_PACKAGE_FILE = 2,
  SOURCE_PACKAGE_MEMORY = 3,
  SOURCE_ZIP_FILE = 4,
  SOURCE_ZIP_FILE_IN_MEMORY = 5,
  SOURCE_ZIP_MEMORY = 6,
};

class CResourceManagerX {
 public:
  CResourceManagerX();
  CResourceManagerX(const CResourceManagerX&) = delete;
  CResourceManagerX& operator=(const CResourceManagerX&) = delete;
  virtual ~CResourceManagerX();
  virtual HRESULT OpenStream(const std::wstring& name, CStream& out);
  virtual HRESULT OpenSource(const std::wstring& path, int32_t kind, const std::string& password);
  virtual HRESULT OpenSourceFromMemory(const void* bytes, size_t size, int32_t kind, const std::string& password);
  // The root with name appended by the platform's rule; empty when too long.
  virtual std::wstring MakeFullPath(const std::wstring& name);

  int32_t kind() const { return kind_; }
  const std::wstring& root() const { return root_; }
  size_t CacheSize() const { return cache_.size(); }
  // The cache key of a name under the current kind.
  std::wstring NormalizeName(const std::wstring& name) const;

 private:
  void CloseSources();
  void ClearCache();
  HRESULT Serve(const std::wstring& key, IStream* stream, CStream& out);
  HRESULT OpenReference(const std::wstring& name, const std::wstring& key, CStream& out, bool* is_reference);

  std::wstring root_;
  IUnknown* lock_bytes_ = nullptr;  // ILockBytes of a package in memory
  std::map<std::wstring, IStream*> cache_;
  std::string password_;
  int32_t kind_ = SOURCE_NONE;
  std::shared_ptr<CStorage> package_;
  CZipFileReader zip_file_;
  CZipMemoryReader zip_memory_;
};

// The process's resource manager, created on first use.
CResourceManagerX& GetResourceManager();

}  // namespace varnak::ui

#endif
