#include "fake_host.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "host/far_services.h"
#include "host/startup.h"
#include "sys/sys.h"

namespace fakehost {

// Code page 866: А-П 0x80-0x8F / а-п 0xA0-0xAF, Р-Я 0x90-0x9F / р-я 0xE0-0xEF,
// then the pairs Ё ё, Є є, Ї ї, Ў ў at 0xF0-0xF7 (upper case first).
unsigned char Upper866(unsigned char ch) {
  if (ch >= 'a' && ch <= 'z') return static_cast<unsigned char>(ch - 'a' + 'A');
  if (ch >= 0xA0 && ch <= 0xAF) return static_cast<unsigned char>(ch - 0x20);
  if (ch >= 0xE0 && ch <= 0xEF) return static_cast<unsigned char>(ch - 0x50);
  if (ch >= 0xF0 && ch <= 0xF7 && (ch & 1) != 0) return static_cast<unsigned char>(ch - 1);
  return ch;
}

unsigned char Lower866(unsigned char ch) {
  if (ch >= 'A' && ch <= 'Z') return static_cast<unsigned char>(ch - 'A' + 'a');
  if (ch >= 0x80 && ch <= 0x8F) return static_cast<unsigned char>(ch + 0x20);
  if (ch >= 0x90 && ch <= 0x9F) return static_cast<unsigned char>(ch + 0x50);
  if (ch >= 0xF0 && ch <= 0xF7 && (ch & 1) == 0) return static_cast<unsigned char>(ch + 1);
  return ch;
}

bool IsAlpha866(unsigned char ch) { return Upper866(ch) != Lower866(ch); }

namespace {

FakeHost* current = nullptr;

unsigned char Byte(unsigned ch) { return static_cast<unsigned char>(ch & 0xFF); }

int Compare(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const int ca = Lower866(static_cast<unsigned char>(a[i]));
    const int cb = Lower866(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

}  // namespace

struct Services {
  static const char* WINAPI GetMsg(int, int msgId) {
    if (current->getMsgError_) sys::SetLastError(*current->getMsgError_);
    auto found = current->messages_.find(msgId);
    return found != current->messages_.end() ? found->second.c_str() : "";
  }

  static int WINAPI Message(int, DWORD flags, const char* helpTopic, const char* const* items,
                            int itemsNumber, int) {
    MessageCall call{flags, helpTopic != nullptr ? helpTopic : "", "", sys::LastError()};
    if ((flags & FMSG_ALLINONE) != 0) {
      call.text = reinterpret_cast<const char*>(items);
    } else {
      for (int i = 0; i < itemsNumber; ++i) {
        if (i > 0) call.text += '\n';
        call.text += items[i];
      }
    }
    current->messageCalls_.push_back(call);
    if (current->answers_.empty()) return -1;
    const int answer = current->answers_.front();
    current->answers_.pop_front();
    return answer;
  }

  static int WINAPI CharTable(int command, char* buffer, int bufferSize) {
    if (command < 0 || static_cast<size_t>(command) >= current->tables_.size()) return -1;
    if (bufferSize < static_cast<int>(sizeof(CharTableSet))) return -1;
    std::memcpy(buffer, &current->tables_[static_cast<size_t>(command)], sizeof(CharTableSet));
    return command;
  }

  static int WINAPI Atoi(const char* s) {
    const long value = std::strtol(s, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
  }

  // As the C runtime's itoa: a sign only in radix 10; otherwise the bits as unsigned.
  static char* WINAPI Itoa(int value, char* out, int radix) {
    if (radix < 2 || radix > 36) {
      out[0] = '\0';
      return out;
    }
    const bool negative = radix == 10 && value < 0;
    unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    char digits[40];
    int n = 0;
    do {
      const unsigned digit = magnitude % static_cast<unsigned>(radix);
      digits[n++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
      magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    char* p = out;
    if (negative) *p++ = '-';
    while (n > 0) *p++ = digits[--n];
    *p = '\0';
    return out;
  }

  static void WINAPI QSort(void* base, size_t count, size_t width, FARSTDCMP compare) {
    std::qsort(base, count, width, compare);
  }

  static int WINAPI LIsLower(unsigned ch) {
    return IsAlpha866(Byte(ch)) && Lower866(Byte(ch)) == Byte(ch);
  }
  static int WINAPI LIsUpper(unsigned ch) {
    return IsAlpha866(Byte(ch)) && Upper866(Byte(ch)) == Byte(ch);
  }
  static int WINAPI LIsAlpha(unsigned ch) { return IsAlpha866(Byte(ch)); }
  static unsigned WINAPI LUpper(unsigned ch) { return Upper866(Byte(ch)); }
  static unsigned WINAPI LLower(unsigned ch) { return Lower866(Byte(ch)); }

  static void WINAPI LStrupr(char* s) {
    for (; *s != '\0'; ++s) *s = static_cast<char>(Upper866(static_cast<unsigned char>(*s)));
  }
  static void WINAPI LStrlwr(char* s) {
    for (; *s != '\0'; ++s) *s = static_cast<char>(Lower866(static_cast<unsigned char>(*s)));
  }
  static int WINAPI LStricmp(const char* a, const char* b) { return Compare(a, b, SIZE_MAX); }
  static int WINAPI LStrnicmp(const char* a, const char* b, int n) {
    return n <= 0 ? 0 : Compare(a, b, static_cast<size_t>(n));
  }
};

FakeHost::FakeHost() : savedInfo_(host::StartupInfo), savedFunctions_(host::StandardFunctions) {
  current = this;
  PluginStartupInfo& info = host::StartupInfo;
  FarStandardFunctions& fsf = host::StandardFunctions;
  std::memset(&info, 0, sizeof info);
  std::memset(&fsf, 0, sizeof fsf);

  info.StructSize = static_cast<int>(sizeof info);
  std::strcpy(info.ModuleName, "fake-host-module");
  info.ModuleNumber = kModuleNumber;
  info.RootKey = "Software\\Far\\Plugins";
  info.GetMsg = &Services::GetMsg;
  info.Message = &Services::Message;
  info.CharTable = &Services::CharTable;
  info.FSF = &fsf;

  fsf.StructSize = static_cast<int>(sizeof fsf);
  fsf.atoi = &Services::Atoi;
  fsf.itoa = &Services::Itoa;
  fsf.qsort = &Services::QSort;
  fsf.LIsLower = &Services::LIsLower;
  fsf.LIsUpper = &Services::LIsUpper;
  fsf.LIsAlpha = &Services::LIsAlpha;
  fsf.LUpper = &Services::LUpper;
  fsf.LLower = &Services::LLower;
  fsf.LStrupr = &Services::LStrupr;
  fsf.LStrlwr = &Services::LStrlwr;
  fsf.LStricmp = &Services::LStricmp;
  fsf.LStrnicmp = &Services::LStrnicmp;
  // As the plug-in's start-up does once it holds the host's tables.
  host::ConnectLayers();
}

FakeHost::~FakeHost() {
  host::StartupInfo = savedInfo_;
  host::StandardFunctions = savedFunctions_;
  current = nullptr;
}

}  // namespace fakehost
