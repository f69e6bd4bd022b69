// CStream, CMappedFile, the zip readers and CResourceManagerX (see
// resource_manager.h).
#include "ui/resource_manager.h"

#include <shlwapi.h>

#include <cstring>

#include "ui/core/zip_index.h"
#include "ui/storage.h"

namespace varnak::ui {

// --- CStream ----------------------------------------------------------------

CStream::~CStream() {
  if (owner) owner->SetChildInfo(name, info);
  Close();
}

void CStream::Attach(IStream* stream) {
  Close();
  stream_ = stream;
}

void CStream::Close() {
  if (stream_) {
    IStream* s = stream_;
    stream_ = nullptr;
    s->Release();
  }
}

uint64_t CStream::GetSize() {
  if (!stream_) return 0;
  LARGE_INTEGER zero = {};
  ULARGE_INTEGER saved = {}, end = {};
  if (FAILED(stream_->Seek(zero, STREAM_SEEK_CUR, &saved))) return 0;
  if (FAILED(stream_->Seek(zero, STREAM_SEEK_END, &end))) return 0;
  LARGE_INTEGER back;
  back.QuadPart = static_cast<LONGLONG>(saved.QuadPart);
  stream_->Seek(back, STREAM_SEEK_SET, nullptr);
  return end.QuadPart;
}

bool CStream::CommitInfo() {
  if (!owner) return false;
  owner->SetChildInfo(name, info);
  return true;
}

HRESULT CStream::ReadAll(std::vector<uint8_t>* bytes, uint64_t max_size) {
  bytes->clear();
  if (!stream_) return E_FAIL;
  const uint64_t size = GetSize();
  if (size > max_size || size > SIZE_MAX / 2) return E_OUTOFMEMORY;
  LARGE_INTEGER zero = {};
  HRESULT hr = stream_->Seek(zero, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  bytes->resize(static_cast<size_t>(size));
  size_t done = 0;
  while (done < bytes->size()) {
    ULONG want = static_cast<ULONG>(std::min<size_t>(bytes->size() - done, 1u << 30));
    ULONG got = 0;
    hr = stream_->Read(bytes->data() + done, want, &got);
    if (FAILED(hr)) return hr;
    if (got == 0) break;
    done += got;
  }
  bytes->resize(done);  // what was actually read
  return S_OK;
}

HRESULT StreamFromBytes(const void* bytes, size_t size, IStream** stream) {
  *stream = nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
  if (!block) return E_OUTOFMEMORY;
  if (size) {
    void* p = GlobalLock(block);
    if (!p) {
      GlobalFree(block);
      return E_OUTOFMEMORY;
    }
    std::memcpy(p, bytes, size);
    GlobalUnlock(block);
  }
  HRESULT hr = CreateStreamOnHGlobal(block, TRUE, stream);
  if (FAILED(hr)) {
    GlobalFree(block);
    return hr;
  }
  ULARGE_INTEGER logical;
  logical.QuadPart = size;
  (*stream)->SetSize(logical);
  return S_OK;
}

// --- CMappedFile ------------------------------------------------------------

bool CMappedFile::Open(const std::wstring& path, bool write) {
  Close(false);
  write_ = write ? 1 : 0;
  file_ = CreateFileW(path.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, write ? OPEN_ALWAYS : OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_, &size)) {
    Close(false);
    return false;
  }
  uint64_t map_size = static_cast<uint64_t>(size.QuadPart);
  size_ = map_size;
  if (map_size == 0) {
    if (!write) {
      Close(false);
      return false;
    }
    map_size = 1;
  }
  if (!Map(map_size)) {
    Close(false);
    return false;
  }
  return true;
}

bool CMappedFile::Map(uint64_t size) {
  if (size > static_cast<uint64_t>(SIZE_MAX)) return false;
  mapping_ = CreateFileMappingW(file_, nullptr, write_ ? PAGE_READWRITE : PAGE_READONLY,
                                static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr);
  if (!mapping_) return false;
  view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_, write_ ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, 0));
  return view_ != nullptr;
}

void CMappedFile::Unmap() {
  if (view_) UnmapViewOfFile(view_);
  view_ = nullptr;
  if (mapping_) CloseHandle(mapping_);
  mapping_ = nullptr;
}

bool CMappedFile::Resize(uint64_t size) {
  if (!write_ || file_ == INVALID_HANDLE_VALUE) return false;
  Unmap();
  size_ = size;
  return Map(size ? size : 1);
}

void CMappedFile::Close(bool truncate) {
  Unmap();
  if (file_ != INVALID_HANDLE_VALUE) {
    if (truncate && write_) {
      LARGE_INTEGER end;
      end.QuadPart = static_cast<LONGLONG>(size_);
      if (SetFilePointerEx(file_, end, nullptr, FILE_BEGIN)) SetEndOfFile(file_);
    }
    CloseHandle(file_);
  }
  file_ = INVALID_HANDLE_VALUE;
  size_ = 0;
}

// --- zip readers ------------------------------------------------------------

static std::wstring LowerWide(std::wstring s) {
  if (!s.empty()) CharLowerBuffW(&s[0], static_cast<DWORD>(s.size()));
  return s;
}

bool CZipReader::BuildIndex() {
  index_.clear();
  std::vector<ZipRawEntry> entries;
  if (WalkZipLocalHeaders(GetData(), GetImageSize(), &entries) != ZipWalkResult::kOk) {
    Close();
    return false;
  }
  for (const ZipRawEntry& e : entries) {
    // converted first, lowered as UTF-16: the same rule Find applies
    const int n = static_cast<int>(e.name.size());
    int units = MultiByteToWideChar(CP_ACP, 0, e.name.data(), n, nullptr, 0);
    if (units <= 0) continue;
    std::wstring name(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, e.name.data(), n, &name[0], units);
    index_.emplace(LowerWide(name), Entry{e.header_offset, e.total_length, e.data_size});
  }
  return true;
}

const uint8_t* CZipReader::Find(const std::wstring& name, uint64_t* size) {
  *size = 0;
  if (!IsOpen()) return nullptr;
  auto it = index_.find(LowerWide(name));
  if (it == index_.end()) return nullptr;
  uint64_t offset = 0, data_size = 0;
  if (!LocateZipData(GetData(), GetImageSize(), it->second.header_offset, &offset, &data_size)) return nullptr;
  *size = data_size;
  return GetData() + offset;
}

bool CZipFileReader::Open(const std::wstring& path) {
  Close();
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  if (!file_.Open(path, false)) return false;
  return BuildIndex();
}

void CZipFileReader::Close() {
  file_.Close(false);
  index_.clear();
}

bool CZipMemoryReader::Open(const std::wstring& path) {
  Close();
  CMappedFile file;
  if (!file.Open(path, false)) return false;
  return OpenCopy(file.data(), file.size());
}

bool CZipMemoryReader::OpenShared(std::shared_ptr<std::vector<uint8_t>> buffer, uint64_t size) {
  Close();
  if (!buffer || size > buffer->size()) return false;
  buffer_ = std::move(buffer);
  size_ = size;
  return BuildIndex();
}

bool CZipMemoryReader::OpenCopy(const void* bytes, uint64_t size) {
  Close();
  if (!bytes || size > static_cast<uint64_t>(SIZE_MAX / 2)) return false;
  auto buffer = std::make_shared<std::vector<uint8_t>>(static_cast<const uint8_t*>(bytes),
                                                        static_cast<const uint8_t*>(bytes) + size);
  return OpenShared(std::move(buffer), size);
}

void CZipMemoryReader::Close() {
  buffer_.reset();
  size_ = 0;
  index_.clear();
}

// --- CResourceManagerX ------------------------------------------------------

// Created once on first use (compare-exchange: a guarded static would need
// routines XP lacks) and kept for the life of the process.
CResourceManagerX& GetResourceManager() {
  static CResourceManagerX* volatile manager = nullptr;
  if (!manager) {
    CResourceManagerX* made = new CResourceManagerX();
    if (InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&manager), made, nullptr) != nullptr)
      delete made;
  }
  return *manager;
}

CResourceManagerX::CResourceManagerX() : package_(CStorage::New()) {}

CResourceManagerX::~CResourceManagerX() {
  CloseSources();
  ClearCache();
}

void CResourceManagerX::CloseSources() {
  if (package_->IsOpen()) package_->Close(false);
  zip_file_.Close();
  zip_memory_.Close();
  if (lock_bytes_) {
    lock_bytes_->Release();  // frees its block; never freed a second time
    lock_bytes_ = nullptr;
  }
}

void CResourceManagerX::ClearCache() {
  for (auto& e : cache_) e.second->Release();
  cache_.clear();
}

HRESULT CResourceManagerX::OpenSource(const std::wstring& path, int32_t kind, const std::string& password) {
  // an unusable kind changes nothing
  if (kind != SOURCE_FOLDER && kind != SOURCE_PACKAGE_FILE && kind != SOURCE_ZIP_FILE &&
      kind != SOURCE_ZIP_FILE_IN_MEMORY)
    return E_INVALIDARG;
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return E_INVALIDARG;
  CloseSources();
  ClearCache();
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  root_ = path;
  kind_ = kind;
  password_.clear();
  switch (kind) {
    case SOURCE_FOLDER:
      return S_OK;
    case SOURCE_PACKAGE_FILE: {
      password_ = password;
      HRESULT hr = package_->OpenPackageFile(path, STGM_READ | STGM_SHARE_DENY_WRITE);
      if (FAILED(hr) && folder) kind_ = SOURCE_FOLDER;
      return hr;
    }
    default: {
      const bool ok = kind == SOURCE_ZIP_FILE ? zip_file_.Open(path) : zip_memory_.Open(path);
      if (ok) return S_OK;
      if (folder) kind_ = SOURCE_FOLDER;
      return E_FAIL;
    }
  }
}

HRESULT CResourceManagerX::OpenSourceFromMemory(const void* bytes, size_t size, int32_t kind,
                                                const std::string& password) {
  if (!bytes || size == 0) return E_INVALIDARG;
  if (kind != SOURCE_PACKAGE_MEMORY && kind != SOURCE_ZIP_MEMORY) return E_INVALIDARG;
  CloseSources();
  ClearCache();
  root_.clear();
  kind_ = kind;
  password_.clear();
  if (kind == SOURCE_ZIP_MEMORY) return zip_memory_.OpenCopy(bytes, size) ? S_OK : E_FAIL;

  password_ = password;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return E_OUTOFMEMORY;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  std::memcpy(p, bytes, size);
  GlobalUnlock(block);
  ILockBytes* lock_bytes = nullptr;
  HRESULT hr = CreateILockBytesOnHGlobal(block, TRUE, &lock_bytes);
  if (FAILED(hr)) {
    GlobalFree(block);
    return hr;
  }
  // from here the lock-bytes object owns the block
  hr = package_->OpenOnLockBytes(lock_bytes, STGM_READ | STGM_SHARE_DENY_WRITE);
  if (FAILED(hr)) {
    lock_bytes->Release();
    return hr;
  }
  lock_bytes_ = lock_bytes;
  return S_OK;
}

std::wstring CResourceManagerX::NormalizeName(const std::wstring& name) const {
  std::wstring n = name;
  if (kind_ >= SOURCE_FOLDER && kind_ <= SOURCE_PACKAGE_MEMORY) {
    if (!n.empty() && n[0] == L'\\') n.erase(0, 1);
    if (!n.empty()) PathMakePrettyW(&n[0]);
    return n;
  }
  if (kind_ >= SOURCE_ZIP_FILE && kind_ <= SOURCE_ZIP_MEMORY) {
    for (wchar_t& c : n)
      if (c == L'\\') c = L'/';
    if (!n.empty() && n.front() == L'/') n.erase(0, 1);
    if (!n.empty() && n.back() == L'/') n.pop_back();
    return n;
  }
  return std::wstring();
}

std::wstring CResourceManagerX::MakeFullPath(const std::wstring& name) {
  if (root_.size() + name.size() + 2 > MAX_PATH) return std::wstring();
  wchar_t buffer[MAX_PATH] = {};
  std::memcpy(buffer, root_.c_str(), root_.size() * sizeof(wchar_t));
  if (!PathAppendW(buffer, name.c_str())) return std::wstring();
  return buffer;
}

// Puts a stream into the cache (when the name has a key) and hands it out.
HRESULT CResourceManagerX::Serve(const std::wstring& key, IStream* stream, CStream& out) {
  out.Attach(stream);  // takes the creator's reference
  out.info = InfoRecord();
  if (!key.empty()) {
    auto it = cache_.find(key);
    if (it != cache_.end()) it->second->Release();
    stream->AddRef();
    cache_[key] = stream;
  }
  return S_OK;
}

// The parts of a resource reference, found anywhere in the name as the
// patterns "Module:.*?;", "ResId:\\d*?;" and "ResType:\\d*?;" would find them
// (case-insensitive tags). Hand-written: std::regex brings in locale code
// whose runtime needs routines XP lacks. Yields the text between tag and ";".
static bool FindReferencePart(const std::wstring& name, const wchar_t* tag, bool digits_only, std::wstring* value) {
  const size_t tag_len = wcslen(tag);
  for (size_t at = 0; at + tag_len <= name.size(); ++at) {
    if (_wcsnicmp(name.c_str() + at, tag, tag_len) != 0) continue;
    size_t end = at + tag_len;
    while (end < name.size() && name[end] != L';') {
      const wchar_t c = name[end];
      if (digits_only ? !(c >= L'0' && c <= L'9') : (c == L'\n' || c == L'\r' || c == 0x2028 || c == 0x2029)) break;
      ++end;
    }
    if (end < name.size() && name[end] == L';') {
      *value = name.substr(at + tag_len, end - at - tag_len);
      return true;
    }
  }
  return false;
}

HRESULT CResourceManagerX::OpenReference(const std::wstring& name, const std::wstring& key, CStream& out,
                                         bool* is_reference) {
  std::wstring module, id_text, type_text;
  *is_reference = FindReferencePart(name, L"Module:", false, &module) && FindReferencePart(name, L"ResId:", true, &id_text);
  if (!*is_reference) return E_FAIL;
  const unsigned long id = wcstoul(id_text.c_str(), nullptr, 10);
  unsigned long type = 0;
  if (FindReferencePart(name, L"ResType:", true, &type_text)) type = wcstoul(type_text.c_str(), nullptr, 10);

  HMODULE handle = (module.empty() || lstrcmpiW(module.c_str(), L"@NULL") == 0) ? GetModuleHandleW(nullptr)
                                                                                  : GetModuleHandleW(module.c_str());
  if (!handle) return E_INVALIDARG;
  HRSRC resource = FindResourceW(handle, MAKEINTRESOURCEW(id & 0xFFFF),
                                 type ? MAKEINTRESOURCEW(type & 0xFFFF) : L"Resource");
  if (!resource) return E_INVALIDARG;
  HGLOBAL loaded = LoadResource(handle, resource);
  const DWORD size = SizeofResource(handle, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return E_FAIL;
  IStream* stream = nullptr;
  HRESULT hr = StreamFromBytes(bytes, size, &stream);
  if (FAILED(hr)) return hr;
  return Serve(key, stream, out);
}

HRESULT CResourceManagerX::OpenStream(const std::wstring& name, CStream& out) {
  out.Close();
  out.owner.reset();
  out.info = InfoRecord();
  out.name = name;
  if (kind_ == SOURCE_NONE) return E_FAIL;
  const std::wstring key = NormalizeName(name);
  if (!key.empty()) {
    auto it = cache_.find(key);
    if (it != cache_.end()) {
      // a clone: the same memory with its own seek pointer
      IStream* clone = nullptr;
      HRESULT hr = it->second->Clone(&clone);
      if (FAILED(hr)) return hr;
      LARGE_INTEGER zero = {};
      clone->Seek(zero, STREAM_SEEK_SET, nullptr);
      out.Attach(clone);
      return S_OK;
    }
  }
  bool is_reference = false;
  HRESULT hr = OpenReference(name, key, out, &is_reference);
  if (is_reference) return hr;

  if (kind_ >= SOURCE_ZIP_FILE) {
    CZipReader& zip = kind_ == SOURCE_ZIP_FILE ? static_cast<CZipReader&>(zip_file_) : zip_memory_;
    uint64_t size = 0;
    if (const uint8_t* data = zip.Find(key, &size)) {
      if (size > SIZE_MAX / 2) return E_OUTOFMEMORY;
      IStream* stream = nullptr;
      hr = StreamFromBytes(data, static_cast<size_t>(size), &stream);
      if (FAILED(hr)) return hr;
      return Serve(key, stream, out);
    }
  } else if ((kind_ == SOURCE_PACKAGE_FILE || kind_ == SOURCE_PACKAGE_MEMORY) && package_->IsOpen()) {
    // element names are case-sensitive digests: the name as given first
    std::wstring given = name;
    if (!given.empty() && given[0] == L'\\') given.erase(0, 1);
    hr = package_->OpenStream(given, out, STGM_READ | STGM_SHARE_EXCLUSIVE, password_);
    if (FAILED(hr) && key != given) hr = package_->OpenStream(key, out, STGM_READ | STGM_SHARE_EXCLUSIVE, password_);
    if (FAILED(hr)) return hr;
    if (!key.empty()) {
      auto it = cache_.find(key);
      if (it != cache_.end()) it->second->Release();
      out.stream()->AddRef();
      cache_[key] = out.stream();
    }
    return S_OK;
  }

  // the folder rule; a source without a root has no folder to fall back to
  if (root_.empty()) return E_INVALIDARG;
  const std::wstring path = MakeFullPath(name);
  if (path.empty()) return E_INVALIDARG;
  CMappedFile file;
  if (!file.Open(path, false)) return E_INVALIDARG;
  if (file.size() > SIZE_MAX / 2) return E_OUTOFMEMORY;
  IStream* stream = nullptr;
  hr = StreamFromBytes(file.data(), static_cast<size_t>(file.size()), &stream);
  if (FAILED(hr)) return hr;
  return Serve(key, stream, out);
}

}  // namespace varnak::ui
