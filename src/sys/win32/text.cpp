// OEM and ANSI text through user32 and kernel32, and the environment.
#include <windows.h>

#include <string>

#include "sys/sys.h"

namespace sys {

unsigned OemCodePage() { return GetOEMCP(); }
unsigned AnsiCodePage() { return GetACP(); }
void RereadCodePages() {}
// FAR 1.70 hands plug-ins OEM text.
bool HostTextIsUtf8() { return false; }

void CharToOem(const char* in, char* out) { CharToOemA(in, out); }
void OemToChar(const char* in, char* out) { OemToCharA(in, out); }

void CharToOemBuff(const char* in, char* out, size_t size) {
  CharToOemBuffA(in, out, static_cast<DWORD>(size));
}

void OemToCharBuff(const char* in, char* out, size_t size) {
  OemToCharBuffA(in, out, static_cast<DWORD>(size));
}

std::string WideToAnsi(const char16_t* text, size_t length) {
  if (length == 0) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text);
  const int units = static_cast<int>(length);
  const int needed = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string out(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, units, &out[0], needed, nullptr, nullptr);
  return out;
}

bool GetEnv(const char* name, std::string* value) {
  ::SetLastError(ERROR_SUCCESS);
  const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    if (value != nullptr) value->clear();
    return true;
  }
  std::string text(needed, '\0');
  const DWORD got = GetEnvironmentVariableA(name, &text[0], needed);
  if (got == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  text.resize(got < needed ? got : needed - 1);
  if (value != nullptr) *value = text;
  return true;
}

}  // namespace sys

namespace sys {

std::u16string CodePageToWide(unsigned codePage, const char* text, size_t length) {
  std::u16string out;
  if (length == 0) return out;
  const int bytes = static_cast<int>(length);
  const int needed = MultiByteToWideChar(codePage, 0, text, bytes, nullptr, 0);
  if (needed <= 0) return out;
  out.resize(static_cast<size_t>(needed));
  MultiByteToWideChar(codePage, 0, text, bytes, reinterpret_cast<wchar_t*>(&out[0]), needed);
  return out;
}

// Characters beyond the 16-bit plane have no case here.
char32_t UpperCase(char32_t c) {
  if (c > 0xFFFF) return c;
  wchar_t w = static_cast<wchar_t>(c);
  CharUpperBuffW(&w, 1);
  return w;
}

char32_t LowerCase(char32_t c) {
  if (c > 0xFFFF) return c;
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return w;
}

bool IsLetter(char32_t c) { return c <= 0xFFFF && IsCharAlphaW(static_cast<wchar_t>(c)) != 0; }

}  // namespace sys
