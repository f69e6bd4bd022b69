// The resource manager: each source kind, the folder fallback, the cache,
// the failure codes, resource references, and the markup loaded from a
// folder, a zip and a package.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "testsupport/winhost.h"
#include "ui/resource_manager.h"
#include "ui/storage.h"
#include "ui/tests/test_util.h"
#include "ui/window.h"
#include "ui/xml_parser.h"

namespace varnak::ui {
namespace {

using test::Wide;
using test::WriteBytes;
using test::ZipBytes;
using varnak::test::TempFolder;

#define EXPECT_FAILED(expr) EXPECT_TRUE(FAILED(expr))

// every element class of this library: Window, Panel, SolidBrush, Matrix,
// EventListener, Element (as an unknown property's value), Template, Duplicate
const char kMarkup[] =
    "<Window Width=\"200\"><Panel Name=\"Root\">"
    "<Panel.Background><SolidBrush Color=\"1,2,3\"/></Panel.Background>"
    "<Panel.Matrix><Matrix ScaleX=\"2\" ScaleY=\"2\"/></Panel.Matrix>"
    "<Panel.EventListener><MouseDown/></Panel.EventListener>"
    "<Panel.Other><Element/></Panel.Other>"
    "<Template><Panel Name=\"Tpl\" Width=\"5\"/></Template>"
    "<Duplicate Source=\"Tpl\" Name=\"Child\"/></Panel></Window>";

std::string Read(CResourceManagerX& m, const std::wstring& name, HRESULT* hr) {
  CStream s;
  *hr = m.OpenStream(name, s);
  std::vector<uint8_t> bytes;
  if (SUCCEEDED(*hr)) s.ReadAll(&bytes);
  return std::string(bytes.begin(), bytes.end());
}

std::string MakeSkinFolder(const TempFolder& dir) {
  CreateDirectoryA(dir.File("skin").c_str(), nullptr);
  CreateDirectoryA(dir.File("skin\\Xmls").c_str(), nullptr);
  WriteBytes(dir.File("skin\\Xmls\\Default.xml"), kMarkup);
  WriteBytes(dir.File("skin\\logo.png"), "PNG");
  WriteBytes(dir.File("skin\\empty.txt"), "");
  return dir.File("skin");
}

TEST(ResourceManager, FolderSourceServesFilesAndCachesThem) {
  TempFolder dir;
  const std::string skin = MakeSkinFolder(dir);
  CResourceManagerX m;
  HRESULT hr;
  EXPECT_EQ(m.OpenStream(L"logo.png", *std::make_unique<CStream>()), E_FAIL);  // nothing open yet
  ASSERT_EQ(m.OpenSource(Wide(skin), SOURCE_FOLDER, ""), S_OK);
  EXPECT_EQ(Read(m, L"\\logo.png", &hr), "PNG");
  EXPECT_EQ(hr, S_OK);
  // the second request comes from the cache, with its own seek pointer
  WriteBytes(dir.File("skin\\logo.png"), "NEW");
  CStream first, second;
  ASSERT_EQ(m.OpenStream(L"logo.png", first), S_OK);
  char c = 0;
  ULONG got = 0;
  first.stream()->Read(&c, 1, &got);
  ASSERT_EQ(m.OpenStream(L"logo.png", second), S_OK);
  std::vector<uint8_t> bytes;
  ASSERT_EQ(second.ReadAll(&bytes), S_OK);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PNG");
  // missing and empty files; nothing is created on disk
  EXPECT_EQ(Read(m, L"missing.txt", &hr), "");
  EXPECT_EQ(hr, E_INVALIDARG);
  EXPECT_EQ(GetFileAttributesA(dir.File("skin\\missing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  Read(m, L"empty.txt", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  Read(m, std::wstring(400, L'x'), &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
}

TEST(ResourceManager, KindsAndTheirFailures) {
  TempFolder dir;
  const std::string skin = MakeSkinFolder(dir);
  CResourceManagerX m;
  HRESULT hr;
  // a folder opened as a zip reports failure and serves the folder
  EXPECT_EQ(m.OpenSource(Wide(skin), SOURCE_ZIP_FILE, ""), E_FAIL);
  EXPECT_EQ(m.kind(), SOURCE_FOLDER);
  EXPECT_EQ(Read(m, L"logo.png", &hr), "PNG");
  // unusable kinds and missing paths change nothing
  for (int kind : {0, 3, 6, 7, -1}) EXPECT_EQ(m.OpenSource(Wide(skin), kind, ""), E_INVALIDARG) << kind;
  EXPECT_EQ(m.OpenSource(L"Z:\\no\\such\\path", SOURCE_FOLDER, ""), E_INVALIDARG);
  EXPECT_EQ(m.kind(), SOURCE_FOLDER);
  EXPECT_EQ(m.CacheSize(), 1u);
  EXPECT_EQ(m.OpenSourceFromMemory(nullptr, 4, SOURCE_ZIP_MEMORY, ""), E_INVALIDARG);
  EXPECT_EQ(m.OpenSourceFromMemory("abcd", 4, SOURCE_FOLDER, ""), E_INVALIDARG);
  // memory sources have no root: no fall-back to the current folder
  const std::string zip = ZipBytes({{"a.txt", "A"}});
  ASSERT_EQ(m.OpenSourceFromMemory(zip.data(), zip.size(), SOURCE_ZIP_MEMORY, ""), S_OK);
  EXPECT_EQ(m.CacheSize(), 0u);
  Read(m, L"logo.png", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
}

TEST(ResourceManager, ZipSources) {
  TempFolder dir;
  const std::string zip = ZipBytes({{"xmls/Default.xml", kMarkup}, {"img/Logo.PNG", "PNG"}, {"img/", ""}});
  WriteBytes(dir.File("Default"), zip);
  for (int kind : {SOURCE_ZIP_FILE, SOURCE_ZIP_FILE_IN_MEMORY, SOURCE_ZIP_MEMORY}) {
    CResourceManagerX m;
    if (kind == SOURCE_ZIP_MEMORY) ASSERT_EQ(m.OpenSourceFromMemory(zip.data(), zip.size(), kind, ""), S_OK);
    else ASSERT_EQ(m.OpenSource(Wide(dir.File("Default")), kind, ""), S_OK) << kind;
    HRESULT hr;
    EXPECT_EQ(Read(m, L"Xmls\\Default.xml", &hr), kMarkup) << kind;
    EXPECT_EQ(Read(m, L"\\IMG\\logo.png", &hr), "PNG") << kind;
    Read(m, L"img\\missing.png", &hr);
    EXPECT_FAILED(hr);
  }
  // compressed, flagged, truncated and crafted archives do not open
  const std::string bad[] = {ZipBytes({{"a", "x"}, {"b", "y", 8, 0}}), ZipBytes({{"a", "x", 0, 4}}),
                             zip.substr(0, zip.size() - 60), std::string("PK\x03\x04", 4) + std::string(20, '\xFF')};
  for (const std::string& b : bad) {
    CResourceManagerX m;
    EXPECT_EQ(m.OpenSourceFromMemory(b.data(), b.size(), SOURCE_ZIP_MEMORY, ""), E_FAIL);
    WriteBytes(dir.File("bad"), b);
    EXPECT_EQ(m.OpenSource(Wide(dir.File("bad")), SOURCE_ZIP_FILE, ""), E_FAIL);
  }
}

TEST(ResourceManager, ResourceReferences) {
  CResourceManagerX m;
  const std::string zip = ZipBytes({{"a.txt", "A"}});
  ASSERT_EQ(m.OpenSourceFromMemory(zip.data(), zip.size(), SOURCE_ZIP_MEMORY, ""), S_OK);
  HRESULT hr;
  Read(m, L"Module:no_such_module.dll;ResId:101;", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
  Read(m, L"Module:@null;ResId:101;ResType:23;", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);  // this program has no such resource
  // a module part without an id part is an ordinary name
  Read(m, L"Module:;a.txt", &hr);
  EXPECT_EQ(hr, E_INVALIDARG);
}

TEST(ResourceManager, MarkupLoadsFromFolderZipAndPackage) {
  TempFolder dir;
  const std::string skin = MakeSkinFolder(dir);
  WriteBytes(dir.File("Default"), ZipBytes({{"Xmls/Default.xml", kMarkup}}));
  auto package = CStorage::New();
  ASSERT_EQ(package->CreatePackageFile(Wide(dir.File("skin.pkg")), STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK);
  PackageOptions options;
  options.compress = true;
  options.password = "secret";
  ASSERT_EQ(package->ImportFolder(Wide(skin), options), S_OK);
  ASSERT_EQ(package->Close(true), S_OK);
  std::string package_bytes;
  ASSERT_TRUE(varnak::test::ReadFileBytes(dir.File("skin.pkg"), &package_bytes));

  CResourceManagerX& m = GetResourceManager();
  struct Source {
    const char* what;
    std::function<HRESULT()> open;
  } sources[] = {
      {"folder as zip", [&] {
         m.OpenSource(Wide(skin), SOURCE_ZIP_FILE, "");  // reports E_FAIL, serves the folder
         return S_OK;
       }},
      {"zip file", [&] { return m.OpenSource(Wide(dir.File("Default")), SOURCE_ZIP_FILE, ""); }},
      {"package file", [&] { return m.OpenSource(Wide(dir.File("skin.pkg")), SOURCE_PACKAGE_FILE, "secret"); }},
      {"package in memory",
       [&] { return m.OpenSourceFromMemory(package_bytes.data(), package_bytes.size(), SOURCE_PACKAGE_MEMORY, "secret"); }},
  };
  for (const Source& s : sources) {
    ASSERT_EQ(s.open(), S_OK) << s.what;
    CWindowX* window = nullptr;
    ASSERT_EQ(CXmlParserX().LoadWindow(&window), S_OK) << s.what;
    CPanelX* child = nullptr;
    ASSERT_TRUE(window->GetContent()->FindElementByName(L"Child", &child)) << s.what;
    EXPECT_EQ(child->GetWidth(), 5);
    child->Release();
    window->Release();
  }
  // the package with the wrong password: the markup cannot load
  ASSERT_EQ(m.OpenSource(Wide(dir.File("skin.pkg")), SOURCE_PACKAGE_FILE, "wrong"), S_OK);
  CWindowX* window = nullptr;
  EXPECT_EQ(CXmlParserX().LoadWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  // a truncated package in memory fails to open and frees its block once
  EXPECT_FAILED(m.OpenSourceFromMemory(package_bytes.data(), 700, SOURCE_PACKAGE_MEMORY, ""));
  EXPECT_FAILED(m.OpenSourceFromMemory("not a package", 13, SOURCE_PACKAGE_MEMORY, ""));
  EXPECT_EQ(m.OpenSource(Wide(skin), SOURCE_FOLDER, ""), S_OK);
}

}  // namespace
}  // namespace varnak::ui
