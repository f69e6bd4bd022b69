// The skin package through skintool: lossless round trips with every option,
// refusal of wrong passwords and damaged packages without a crash, and
// export names that would leave the target folder.
#include <gtest/gtest.h>

#include <string>

#include "testsupport/winhost.h"
#include "ui/storage.h"
#include "ui/tests/test_util.h"

namespace varnak::ui {
namespace {

using test::Wide;
using test::WriteBytes;
using varnak::test::BinDir;
using varnak::test::ReadFileBytes;
using varnak::test::TempFolder;

// Runs skintool with its standard output in out_file (or discarded); the
// exit code, or -1 when it did not start or did not end in time.
int Skintool(const std::string& args, const std::string& out_file = "") {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(out_file.empty() ? "NUL" : out_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE null_err = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = null_err;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string cmd = "\"" + BinDir() + "\\skintool.exe\" " + args;
  PROCESS_INFORMATION pi = {};
  int rc = -1;
  if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      rc = static_cast<int>(code);
    } else {
      TerminateProcess(pi.hProcess, 99);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  CloseHandle(null_err);
  return rc;
}

struct FileFacts {
  std::string bytes;
  DWORD attributes;
  FILETIME write;
};

FileFacts Facts(const std::string& path) {
  FileFacts f{};
  ReadFileBytes(path, &f.bytes);
  WIN32_FILE_ATTRIBUTE_DATA d{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d);
  f.attributes = d.dwFileAttributes;
  f.write = d.ftLastWriteTime;
  return f;
}

void SetWriteTime(const std::string& path, uint64_t t, bool folder = false) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
  SetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
}

// A skin tree with tiny, empty, large, read-only and hidden files, a GBK name
// and two names differing only in case.
std::string MakeSkin(const TempFolder& dir) {
  const std::string root = dir.File("src");
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA((root + "\\Xmls").c_str(), nullptr);
  CreateDirectoryA((root + "\\Xmls\\Sub").c_str(), nullptr);
  std::string big;
  for (uint32_t k = 0; k < 300000; ++k) big += static_cast<char>((k * 7919u) >> (k % 5));
  WriteBytes(root + "\\Xmls\\Default.xml", "<Window><Panel/></Window>");
  WriteBytes(root + "\\Xmls\\Sub\\big.bin", big);
  WriteBytes(root + "\\one.txt", "A");
  WriteBytes(root + "\\empty.txt", "");
  WriteBytes(root + "\\\xBD\xF8\xB3\xCC.png", "gbk name");
  WriteBytes(root + "\\Case.txt", "upper");
  WriteBytes(root + "\\ro.txt", "read only");
  SetWriteTime(root + "\\one.txt", 130000000000000000ull);
  SetFileAttributesA((root + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((root + "\\one.txt").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  return root;
}

void ExpectSameTree(const std::string& a, const std::string& b) {
  for (const char* rel : {"\\Xmls\\Default.xml", "\\Xmls\\Sub\\big.bin", "\\one.txt", "\\empty.txt",
                          "\\\xBD\xF8\xB3\xCC.png", "\\Case.txt", "\\ro.txt"}) {
    FileFacts x = Facts(a + rel), y = Facts(b + rel);
    EXPECT_EQ(x.bytes, y.bytes) << rel;
    EXPECT_EQ(x.attributes, y.attributes) << rel;
    EXPECT_EQ(CompareFileTime(&x.write, &y.write), 0) << rel;
  }
}

TEST(SkinPackage, PackAndUnpackAreLosslessWithEveryOption) {
  TempFolder dir;
  const std::string src = MakeSkin(dir);
  const char* options[] = {"", "--compress", "--password secret", "--password secret --compress"};
  int n = 0;
  for (const char* opt : options) {
    const std::string pkg = dir.File("p" + std::to_string(n) + ".pkg");
    const std::string out = dir.File("out" + std::to_string(n++));
    ASSERT_EQ(Skintool("pack \"" + src + "\" \"" + pkg + "\" " + opt), 0) << opt;
    ASSERT_EQ(Skintool("unpack \"" + pkg + "\" \"" + out + "\" " + opt), 0) << opt;
    ExpectSameTree(src, out);
    ASSERT_EQ(Skintool("cat \"" + pkg + "\" Xmls\\Default.xml " + opt, dir.File("cat.txt")), 0) << opt;
    std::string text;
    ReadFileBytes(dir.File("cat.txt"), &text);
    EXPECT_EQ(text, "<Window><Panel/></Window>") << opt;
    EXPECT_EQ(Skintool("cat \"" + pkg + "\" xmls\\default.xml " + opt), 1) << "names are case-sensitive";
  }
  // a wrong or missing password is refused
  const std::string enciphered = dir.File("p2.pkg");
  EXPECT_EQ(Skintool("cat \"" + enciphered + "\" one.txt"), 1);
  EXPECT_EQ(Skintool("cat \"" + enciphered + "\" one.txt --password Secret"), 1);
  EXPECT_EQ(Skintool("unpack \"" + enciphered + "\" \"" + dir.File("nopw") + "\""), 1);
}

TEST(SkinPackage, DamagedPackagesFailWithoutCrashing) {
  TempFolder dir;
  const std::string src = MakeSkin(dir);
  const std::string pkg = dir.File("good.pkg");
  ASSERT_EQ(Skintool("pack \"" + src + "\" \"" + pkg + "\" --compress --password pw"), 0);
  std::string good;
  ASSERT_TRUE(ReadFileBytes(pkg, &good));
  int failures = 0;
  // truncations and flipped bytes across the file: every run ends normally
  for (size_t cut : {size_t{0}, size_t{100}, size_t{512}, good.size() / 2, good.size() - 1}) {
    WriteBytes(dir.File("bad.pkg"), good.substr(0, cut));
    const int rc = Skintool("unpack \"" + dir.File("bad.pkg") + "\" \"" + dir.File("o") + "\" --password pw");
    EXPECT_TRUE(rc == 0 || rc == 1) << cut << " rc " << rc;
    failures += rc == 1;
  }
  for (size_t at = 600; at < good.size(); at += good.size() / 23) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x55);
    WriteBytes(dir.File("bad.pkg"), bad);
    int rc = Skintool("unpack \"" + dir.File("bad.pkg") + "\" \"" + dir.File("o") + "\" --password pw");
    EXPECT_TRUE(rc == 0 || rc == 1) << at << " rc " << rc;
    rc = Skintool("cat \"" + dir.File("bad.pkg") + "\" Xmls\\Sub\\big.bin --password pw", dir.File("c"));
    EXPECT_TRUE(rc == 0 || rc == 1) << at << " rc " << rc;
  }
  EXPECT_GE(failures, 4);
}

TEST(SkinPackage, ExportRefusesNamesOutsideTheTarget) {
  TempFolder dir;
  const std::string pkg = dir.File("evil.pkg");
  // a package written by hand: an index naming "..\evil.txt"
  IStorage* root = nullptr;
  ASSERT_EQ(StgCreateDocfile(Wide(pkg).c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &root), S_OK);
  const std::u16string evil = u"..\\evil.txt";
  const std::u16string element = HashedElementName(evil);
  IStream* s = nullptr;
  ASSERT_EQ(root->CreateStream(std::wstring(element.begin(), element.end()).c_str(),
                               STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s),
            S_OK);
  s->Write("x", 1, nullptr);
  s->Release();
  std::vector<IndexEntry> entries(1);
  entries[0].name = evil;
  entries[0].info.file_size = 1;
  std::vector<uint8_t> index;
  SerializeIndex(entries, &index);
  ASSERT_EQ(root->CreateStream(L".", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s), S_OK);
  s->Write(index.data(), static_cast<ULONG>(index.size()), nullptr);
  s->Release();
  root->Commit(STGC_DEFAULT);
  root->Release();
  CreateDirectoryA(dir.File("out").c_str(), nullptr);
  EXPECT_EQ(Skintool("unpack \"" + pkg + "\" \"" + dir.File("out\\inner") + "\""), 1);
  EXPECT_EQ(GetFileAttributesA(dir.File("out\\evil.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SkinPackage, StorageApiStates) {
  auto storage = CStorage::New();
  CStream stream;
  EXPECT_EQ(storage->OpenStream(L"a.txt", stream, STGM_READ, ""), E_PACKAGE_INVALID_STATE);
  std::shared_ptr<CStorage> sub;
  EXPECT_EQ(storage->OpenStorage(L"a", &sub, STGM_READ), E_PACKAGE_INVALID_STATE);
  EXPECT_EQ(storage->OpenOnLockBytes(nullptr, STGM_READ), E_INVALIDARG);
  EXPECT_EQ(storage->CreatePackageFile(L"", STGM_READWRITE), E_INVALIDARG);
}

}  // namespace
}  // namespace varnak::ui
