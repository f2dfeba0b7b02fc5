// UTF-16 conversions for the Windows seam: the core's UTF-8 paths become the wide strings the
// W calls take, and back. An empty result means the text could not be converted (or was empty).
#pragma once

#include <windows.h>

#include <string>

namespace kavrosa {

inline std::wstring WideFromCodePage(const std::string& text, UINT codePage) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, &wide[0], needed);
  return wide;
}

inline std::wstring WideFromUtf8(const std::string& text) {
  return WideFromCodePage(text, CP_UTF8);
}

inline std::string CodePageFromWide(const std::wstring& wide, UINT codePage) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string text(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, &text[0], needed, nullptr, nullptr);
  return text;
}

inline std::string Utf8FromWide(const std::wstring& wide) {
  return CodePageFromWide(wide, CP_UTF8);
}

}  // namespace kavrosa
