// The dialog's resources in the user's language. GetUserDefaultUILanguage is looked up at run
// time (the first systems lack it; their user language stands in). A string table is read
// by hand: block id/16 + 1 holds sixteen counted UTF-16 strings, empty ones as a zero count.
#include "settings/DialogResources_win.h"

#include <vector>

#include "settings/DialogLanguage.h"

namespace kavrosa {
namespace {

constexpr int kConfigDialogId = 2003;

using UiLanguageProc = LANGID(WINAPI*)();

LANGID UserUiLanguage() {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  const auto uiLanguage = kernel != nullptr
                              ? reinterpret_cast<UiLanguageProc>(reinterpret_cast<void*>(
                                    GetProcAddress(kernel, "GetUserDefaultUILanguage")))
                              : nullptr;
  return uiLanguage != nullptr ? uiLanguage() : GetUserDefaultLangID();
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<uint16_t>*>(list)->push_back(language);
  return TRUE;
}

const void* ResourceBytes(HINSTANCE module, LPCWSTR type, LPCWSTR name, WORD language,
                          DWORD* size) {
  HRSRC found = FindResourceExW(module, type, name, language);
  if (found == nullptr) found = FindResourceW(module, name, type);
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  if (size != nullptr) *size = SizeofResource(module, found);
  return loaded != nullptr ? LockResource(loaded) : nullptr;
}

}  // namespace

WORD DialogLanguage(HINSTANCE module) {
  std::vector<uint16_t> languages;
  EnumResourceLanguagesW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                         MAKEINTRESOURCEW(kConfigDialogId), AddLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return ChooseResourceLanguage(UserUiLanguage(), languages);
}

const DLGTEMPLATE* DialogTemplate(HINSTANCE module, int id) {
  return static_cast<const DLGTEMPLATE*>(ResourceBytes(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */,
                                                       MAKEINTRESOURCEW(id), DialogLanguage(module),
                                                       nullptr));
}

std::wstring DialogString(HINSTANCE module, int id) {
  DWORD size = 0;
  const auto* block = static_cast<const WCHAR*>(
      ResourceBytes(module, MAKEINTRESOURCEW(6) /* RT_STRING */, MAKEINTRESOURCEW(id / 16 + 1),
                    DialogLanguage(module), &size));
  if (block == nullptr) return std::wstring();
  const WCHAR* end = block + size / sizeof(WCHAR);
  for (int index = 0; index < id % 16; ++index) {
    if (block >= end) return std::wstring();
    block += 1 + *block;
  }
  if (block >= end || block + 1 + *block > end) return std::wstring();
  return std::wstring(block + 1, *block);
}

}  // namespace kavrosa
