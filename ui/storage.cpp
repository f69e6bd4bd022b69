// The skin package (see storage.h).
#include "ui/storage.h"

#include <cstring>
#include <vector>

namespace varnak::ui {
namespace {

constexpr DWORD kAccessMask = STGM_READ | STGM_WRITE | STGM_READWRITE;
constexpr uint64_t kMaxIndexBytes = 64ull << 20;

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::u16string ToU16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring FromU16(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

uint64_t FileTimeValue(const FILETIME& t) { return static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
FILETIME ToFileTime(uint64_t v) { return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)}; }

InfoRecord RecordOf(const WIN32_FIND_DATAW& fd, bool folder) {
  InfoRecord r;
  r.attributes = fd.dwFileAttributes;
  r.creation_time = FileTimeValue(fd.ftCreationTime);
  r.access_time = FileTimeValue(fd.ftLastAccessTime);
  r.write_time = FileTimeValue(fd.ftLastWriteTime);
  r.file_size = folder ? 0 : (static_cast<uint64_t>(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow);
  return r;
}

// A logical name from an index may only name one entry of one folder.
bool IsSinglePathComponent(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L".." || name.size() > 255) return false;
  for (wchar_t c : name)
    if (c < 32 || std::wcschr(L"\\/:*?\"<>|", c)) return false;
  return name.back() != L' ' && name.back() != L'.';
}

HRESULT ReadWhole(IStream* stream, std::vector<uint8_t>* bytes, uint64_t max_size) {
  STATSTG st = {};
  HRESULT hr = stream->Stat(&st, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (st.cbSize.QuadPart >= max_size) return E_INVALIDARG;
  LARGE_INTEGER zero = {};
  hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  bytes->resize(static_cast<size_t>(st.cbSize.QuadPart));
  ULONG got = 0;
  if (!bytes->empty()) {
    hr = stream->Read(bytes->data(), static_cast<ULONG>(bytes->size()), &got);
    if (FAILED(hr)) return hr;
    if (got != bytes->size()) return E_FAIL;  // a short read
  }
  return S_OK;
}

void ApplyFileInfo(const std::wstring& path, const InfoRecord& info, bool folder) {
  HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    FILETIME c = ToFileTime(info.creation_time), a = ToFileTime(info.access_time), w = ToFileTime(info.write_time);
    SetFileTime(h, info.creation_time ? &c : nullptr, info.access_time ? &a : nullptr,
                info.write_time ? &w : nullptr);
    CloseHandle(h);
  }
  if (info.attributes) SetFileAttributesW(path.c_str(), info.attributes);
}

}  // namespace

std::wstring CStorage::ElementName(const std::wstring& logical) { return FromU16(HashedElementName(ToU16(logical))); }

std::shared_ptr<CStorage> CStorage::New() {
  auto storage = std::make_shared<CStorage>();
  storage->self_ = storage;
  return storage;
}

CStorage::~CStorage() {
  if (storage_) Close(writable_);
}

HRESULT CStorage::OpenRoot(IStorage* storage, DWORD mode, bool created) {
  storage_ = storage;
  writable_ = (mode & kAccessMask) != STGM_READ;
  index_.clear();
  subs_.clear();
  info_ = InfoRecord();
  name_.clear();
  if (created) return S_OK;
  HRESULT hr = LoadIndex();
  if (FAILED(hr)) {
    storage_->Release();
    storage_ = nullptr;
  }
  return hr;
}

HRESULT CStorage::CreateOnLockBytes(ILockBytes* lock_bytes, DWORD mode) {
  if (!lock_bytes) return E_INVALIDARG;
  if (storage_) Close(writable_);
  IStorage* stg = nullptr;
  HRESULT hr = StgCreateDocfileOnILockBytes(lock_bytes, mode | STGM_CREATE, 0, &stg);
  if (FAILED(hr)) return hr;
  return OpenRoot(stg, mode, true);
}

HRESULT CStorage::CreatePackageFile(const std::wstring& path, DWORD mode) {
  if (path.empty()) return E_INVALIDARG;
  if (storage_) Close(writable_);
  IStorage* stg = nullptr;
  HRESULT hr = StgCreateDocfile(path.c_str(), mode | STGM_CREATE, 0, &stg);
  if (FAILED(hr)) return hr;
  return OpenRoot(stg, mode, true);
}

HRESULT CStorage::OpenOnLockBytes(ILockBytes* lock_bytes, DWORD mode) {
  if (!lock_bytes) return E_INVALIDARG;
  if (FAILED(StgIsStorageILockBytes(lock_bytes))) return E_INVALIDARG;
  if (storage_) Close(writable_);
  IStorage* stg = nullptr;
  HRESULT hr = StgOpenStorageOnILockBytes(lock_bytes, nullptr, mode, nullptr, 0, &stg);
  if (FAILED(hr)) return hr;
  return OpenRoot(stg, mode, false);
}

HRESULT CStorage::OpenPackageFile(const std::wstring& path, DWORD mode) {
  if (path.empty()) return E_INVALIDARG;
  if (storage_) Close(writable_);
  IStorage* stg = nullptr;
  HRESULT hr = StgOpenStorage(path.c_str(), nullptr, mode, nullptr, 0, &stg);
  if (FAILED(hr)) return hr;
  return OpenRoot(stg, mode, false);
}

HRESULT CStorage::Close(bool commit) {
  if (!storage_) return E_FAIL;
  HRESULT result = S_OK;
  auto subs = std::move(subs_);
  subs_.clear();
  for (auto& s : subs) {
    // a sub-storage held elsewhere (by a stream) closes when that lets go
    if (s.second.use_count() == 1 && s.second->IsOpen()) {
      HRESULT hr = s.second->Close(commit);
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  subs.clear();
  if (writable_) {
    HRESULT hr = WriteIndex();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    CommitInfo();
    if (commit) {
      hr = storage_->Commit(STGC_DEFAULT);
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
  }
  IStorage* s = storage_;
  storage_ = nullptr;
  s->Release();
  return result;
}

HRESULT CStorage::OpenStorage(const std::wstring& path, std::shared_ptr<CStorage>* out, DWORD mode) {
  out->reset();
  if (!storage_) return E_PACKAGE_INVALID_STATE;
  std::shared_ptr<CStorage> current = self_.lock();
  if (!current) return E_UNEXPECTED;  // not made by New()
  const DWORD sub_mode = (mode & kAccessMask) | STGM_SHARE_EXCLUSIVE;
  for (const std::wstring& part : SplitPath(path)) {
    const std::wstring element = ElementName(part);
    auto cached = current->subs_.find(element);
    if (cached != current->subs_.end()) {
      current = cached->second;
      continue;
    }
    IStorage* stg = nullptr;
    bool created = false;
    HRESULT hr = current->storage_->OpenStorage(element.c_str(), nullptr, sub_mode, nullptr, 0, &stg);
    if (hr == STG_E_FILENOTFOUND && (mode & STGM_CREATE)) {
      hr = current->storage_->CreateStorage(element.c_str(), sub_mode | STGM_CREATE, 0, 0, &stg);
      created = true;
    }
    if (FAILED(hr)) return hr;
    auto sub = New();
    sub->storage_ = stg;
    sub->parent_ = current;
    sub->writable_ = (mode & kAccessMask) != STGM_READ;
    if (!created) {
      auto it = current->index_.find(element);
      if (it != current->index_.end()) {
        sub->info_ = it->second.info;
        sub->name_ = FromU16(it->second.name);
      }
      hr = sub->LoadIndex();
      if (FAILED(hr)) return hr;
    } else {
      sub->name_ = part;
    }
    current->subs_[element] = sub;
    current = sub;
  }
  *out = current;
  return S_OK;
}

HRESULT CStorage::OpenStream(const std::wstring& path, CStream& out, DWORD mode, const std::string& password) {
  if (!storage_) return E_PACKAGE_INVALID_STATE;
  std::vector<std::wstring> parts = SplitPath(path);
  if (parts.empty()) return E_INVALIDARG;
  const std::wstring file = parts.back();
  std::wstring folder;
  for (size_t k = 0; k + 1 < parts.size(); ++k) folder += (k ? L"\\" : L"") + parts[k];
  std::shared_ptr<CStorage> dir;
  HRESULT hr = OpenStorage(folder, &dir, mode);
  if (FAILED(hr)) return hr;
  const std::wstring element = ElementName(file);
  const DWORD stream_mode = (mode & kAccessMask) | STGM_SHARE_EXCLUSIVE;
  IStream* stream = nullptr;
  bool created = false;
  hr = dir->storage_->OpenStream(element.c_str(), nullptr, stream_mode, 0, &stream);
  if (hr == STG_E_FILENOTFOUND && (mode & STGM_CREATE)) {
    hr = dir->storage_->CreateStream(element.c_str(), stream_mode | STGM_CREATE, 0, 0, &stream);
    created = true;
  }
  if (FAILED(hr)) return hr;
  out.owner.reset();
  out.Attach(stream);
  out.owner = dir;
  out.info = InfoRecord();
  out.name = file;
  if (created) return S_OK;
  auto it = dir->index_.find(element);
  out.name.clear();
  if (it != dir->index_.end()) {
    out.info = it->second.info;
    out.name = FromU16(it->second.name);
  }
  if (FAILED(DecodeContent(out, password))) {
    out.owner.reset();
    out.Close();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT CStorage::OpenDotDotStream(IStream** out, DWORD mode) {
  *out = nullptr;
  if (!storage_) return E_FAIL;
  const DWORD stream_mode = (mode & kAccessMask) | STGM_SHARE_EXCLUSIVE;
  HRESULT hr = storage_->OpenStream(L"..", nullptr, stream_mode, 0, out);
  if (hr == STG_E_FILENOTFOUND && (mode & STGM_CREATE))
    hr = storage_->CreateStream(L"..", stream_mode | STGM_CREATE, 0, 0, out);
  return hr;
}

void CStorage::SetChildInfo(const std::wstring& name, const InfoRecord& info) {
  if (!writable_ || name.empty()) return;  // only packages being written keep records
  IndexEntry& e = index_[ElementName(name)];
  e.info = info;
  e.name = ToU16(name);
}

void CStorage::CommitInfo() {
  if (auto parent = parent_.lock()) parent->SetChildInfo(name_, info_);
}

HRESULT CStorage::WriteIndex() {
  if (!storage_) return E_FAIL;
  IStream* stream = nullptr;
  HRESULT hr = storage_->CreateStream(L".", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream);
  if (FAILED(hr)) return hr;
  std::vector<IndexEntry> entries;
  for (auto& e : index_) entries.push_back(e.second);
  std::vector<uint8_t> bytes;
  SerializeIndex(entries, &bytes);
  ULONG written = 0;
  if (!bytes.empty()) hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  if (SUCCEEDED(hr)) {
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    hr = stream->SetSize(size);
  }
  if (SUCCEEDED(hr)) hr = stream->Commit(STGC_DEFAULT);
  stream->Release();
  return hr;
}

HRESULT CStorage::LoadIndex() {
  if (!storage_) return E_FAIL;
  index_.clear();
  IStream* stream = nullptr;
  HRESULT hr = storage_->OpenStream(L".", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
  if (hr == STG_E_FILENOTFOUND) return S_OK;  // a storage without entries
  if (FAILED(hr)) return hr;
  std::vector<uint8_t> bytes;
  hr = ReadWhole(stream, &bytes, kMaxIndexBytes);
  stream->Release();
  if (FAILED(hr)) return hr;
  std::vector<IndexEntry> entries;
  if (ParseIndex(bytes.data(), bytes.size(), &entries) != IndexStatus::kOk) return STG_E_DOCFILECORRUPT;
  for (IndexEntry& e : entries) index_[FromU16(HashedElementName(e.name))] = std::move(e);
  return S_OK;
}

HRESULT CStorage::DecodeContent(CStream& stream, const std::string& password) {
  if (!stream.IsOpen()) return E_FAIL;
  if (!NeedsDecoding(stream.info) || stream.GetSize() == 0) return S_OK;
  std::vector<uint8_t> bytes;
  HRESULT hr = ReadWhole(stream.stream(), &bytes, 0xFFFFFFFFull);
  if (FAILED(hr)) return hr;
  switch (varnak::ui::DecodeContent(&bytes, stream.info, password)) {
    case DecodeStatus::kWrongPassword:
      return E_PACKAGE_WRONG_PASSWORD;
    case DecodeStatus::kCorrupt:
      return E_FAIL;
    case DecodeStatus::kOk:
      break;
  }
  IStream* decoded = nullptr;
  hr = StreamFromBytes(bytes.data(), bytes.size(), &decoded);
  if (FAILED(hr)) return hr;
  stream.Attach(decoded);
  return S_OK;
}

HRESULT CStorage::WriteContent(IStream* stream, const uint8_t* bytes, size_t size, const std::string& password,
                               bool compress, InfoRecord* info) {
  info->enciphered = 0;
  info->compressed = 0;
  if (size == 0) return S_OK;
  if (size / 2 > 0x7FFFFFFFu) return E_INVALIDARG;
  std::vector<uint8_t> stored;
  if (!EncodeContent(bytes, size, password, compress, info, &stored)) return E_INVALIDARG;
  LARGE_INTEGER zero = {};
  HRESULT hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG written = 0;
  if (SUCCEEDED(hr)) hr = stream->Write(stored.data(), static_cast<ULONG>(stored.size()), &written);
  if (SUCCEEDED(hr) && written != stored.size()) hr = STG_E_MEDIUMFULL;
  if (SUCCEEDED(hr)) {
    ULARGE_INTEGER n;
    n.QuadPart = stored.size();
    hr = stream->SetSize(n);
  }
  if (SUCCEEDED(hr)) hr = stream->Commit(STGC_DEFAULT);
  return hr;
}

HRESULT CStorage::ImportEntry(const WIN32_FIND_DATAW& fd, const std::wstring& folder, const PackageOptions& options) {
  const std::wstring name = fd.cFileName;
  if ((name.size() + 1) * 2 > kMaxIndexNameBytes) return E_INVALIDARG;
  const DWORD create = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
  if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    std::shared_ptr<CStorage> sub;
    HRESULT hr = OpenStorage(name, &sub, create);
    if (FAILED(hr)) return hr;
    sub->name_ = name;
    sub->info_ = RecordOf(fd, true);
    SetChildInfo(name, sub->info_);
    return S_OK;
  }
  const std::wstring element = ElementName(name);
  IStream* stream = nullptr;
  HRESULT hr = storage_->CreateStream(element.c_str(), create, 0, 0, &stream);
  if (FAILED(hr)) return hr;
  InfoRecord info = RecordOf(fd, false);
  CMappedFile file;
  const std::wstring path = folder + L"\\" + name;
  if (file.Open(path, false)) {
    if (file.size() > static_cast<uint64_t>(SIZE_MAX / 2)) hr = E_INVALIDARG;
    else hr = WriteContent(stream, file.data(), static_cast<size_t>(file.size()), options.password, options.compress, &info);
  } else if (info.file_size != 0) {
    hr = HRESULT_FROM_WIN32(GetLastError());  // a file that cannot be read is not silently emptied
  }
  stream->Release();
  if (FAILED(hr)) return hr;
  SetChildInfo(name, info);
  return S_OK;
}

HRESULT CStorage::ImportFolder(const std::wstring& folder, const PackageOptions& options) {
  if (!storage_) return E_FAIL;
  if (folder.empty()) return E_INVALIDARG;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND ? S_OK : E_ABORT;
  std::vector<std::wstring> folders;
  HRESULT hr = S_OK;
  do {
    const std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool dir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // junctions and links to folders could loop without end
    if (dir && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    hr = ImportEntry(fd, folder, options);
    if (FAILED(hr)) break;
    if (dir) folders.push_back(name);
  } while (FindNextFileW(find, &fd));
  const DWORD error = GetLastError();
  FindClose(find);
  if (FAILED(hr)) return hr;
  if (error != ERROR_NO_MORE_FILES) return E_ABORT;
  for (const std::wstring& name : folders) {
    std::shared_ptr<CStorage> sub;
    hr = OpenStorage(name, &sub, STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE);
    if (FAILED(hr)) return hr;
    hr = sub->ImportFolder(folder + L"\\" + name, options);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CStorage::ReadContentToFile(IStream* stream, const InfoRecord& info, const std::wstring& path,
                                    const std::string& password) {
  std::vector<uint8_t> bytes;
  HRESULT hr = ReadWhole(stream, &bytes, 0xFFFFFFFFull);
  if (FAILED(hr)) return hr;
  switch (varnak::ui::DecodeContent(&bytes, info, password)) {
    case DecodeStatus::kWrongPassword:
      return E_PACKAGE_WRONG_PASSWORD;
    case DecodeStatus::kCorrupt:
      return E_FAIL;
    case DecodeStatus::kOk:
      break;
  }
  CMappedFile file;
  if (!file.Open(path, true)) return HRESULT_FROM_WIN32(GetLastError());
  if (!file.Resize(bytes.size())) {
    file.Close(false);
    return E_FAIL;
  }
  if (!bytes.empty()) std::memcpy(file.data(), bytes.data(), bytes.size());
  file.Close(true);  // an empty stream leaves an empty file
  return S_OK;
}

HRESULT CStorage::ExportTo(const std::wstring& folder, const std::wstring& relative, const PackageOptions& options) {
  if (!storage_) return E_FAIL;
  if (folder.empty()) return E_INVALIDARG;
  const std::wstring target = relative.empty() ? folder : folder + L"\\" + relative;
  if (!CreateDirectoryW(target.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return HRESULT_FROM_WIN32(GetLastError());
  IEnumSTATSTG* elements = nullptr;
  HRESULT hr = storage_->EnumElements(0, nullptr, 0, &elements);
  if (FAILED(hr)) return hr;
  STATSTG st;
  ULONG fetched = 0;
  while (SUCCEEDED(hr) && elements->Next(1, &st, &fetched) == S_OK && fetched == 1) {
    const std::wstring element = st.pwcsName ? st.pwcsName : L"";
    CoTaskMemFree(st.pwcsName);
    if (element == L"." || element == L"..") continue;
    auto it = index_.find(element);
    if (it == index_.end()) continue;  // not listed: no logical name to give it
    const std::wstring logical = FromU16(it->second.name);
    if (!IsSinglePathComponent(logical)) {
      hr = E_INVALIDARG;  // would write outside the target folder
      break;
    }
    const std::wstring path = target + L"\\" + logical;
    if (st.type == STGTY_STORAGE) {
      std::shared_ptr<CStorage> sub;
      hr = OpenStorage(logical, &sub, STGM_READ);
      if (SUCCEEDED(hr)) hr = sub->ExportTo(target, logical, options);
      if (SUCCEEDED(hr)) ApplyFileInfo(path, it->second.info, true);
    } else if (st.type == STGTY_STREAM) {
      IStream* stream = nullptr;
      hr = storage_->OpenStream(element.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
      if (SUCCEEDED(hr)) {
        hr = ReadContentToFile(stream, it->second.info, path, options.password);
        stream->Release();
      }
      if (SUCCEEDED(hr)) ApplyFileInfo(path, it->second.info, false);
    }
  }
  elements->Release();
  return hr;
}

}  // namespace varnak::ui
