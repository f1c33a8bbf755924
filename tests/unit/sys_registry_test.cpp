// The registry subset. Natively it is a REGEDIT4 file of the test's own
// (TAGWRIGHT_REGISTRY); under Wine the real registry, below a key that only
// this test process uses and that is deleted afterwards.
#include "sys_test_support.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "registry_file_probe.h"

namespace {

constexpr uint32_t kKeyAll = sys::kKeyRead | sys::kKeyWrite;
constexpr long kErrorKeyDeleted = 1018;

// An open key that closes itself.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) sys::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  sys::RegKey* out() { return &key_; }
  sys::RegKey get() const { return key_; }

 private:
  sys::RegKey key_ = nullptr;
};

struct Value {
  uint32_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const Value&) const = default;
};

Value Bytes(uint32_t type, const std::string& bytes) {
  return Value{type, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

class SysRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    registry_.emplace("TAGWRIGHT_REGISTRY", dir_ / "config/registry.reg");
#endif
    base_ = "Software\\TagwrightTest-" + std::to_string(systest::ProcessId());
    DeleteTree(base_);
  }
  void TearDown() override { DeleteTree(base_); }

  std::string RegistryFile() const { return dir_ / "config/registry.reg"; }

  // Removes a key with everything below it, leaves first.
  static void DeleteTree(const std::string& path) {
    Key key;
    if (sys::RegOpenKeyEx(sys::CurrentUserKey(), path.c_str(), sys::kKeyRead, key.out()) != 0)
      return;
    char name[260];
    uint32_t size = sizeof name;
    while (sys::RegEnumKeyEx(key.get(), 0, name, &size) == 0) {
      DeleteTree(path + "\\" + name);
      size = sizeof name;
    }
    sys::RegDeleteKey(sys::CurrentUserKey(), path.c_str());
  }

  long Create(const std::string& subkey, Key* key) {
    return sys::RegCreateKeyEx(sys::CurrentUserKey(), (base_ + subkey).c_str(), kKeyAll,
                               key->out());
  }

  static long Set(const Key& key, const std::string& name, const Value& value) {
    return sys::RegSetValueEx(key.get(), name.c_str(), value.type, value.data.data(),
                              static_cast<uint32_t>(value.data.size()));
  }

  // The value as a query for its size and then for its data gives it.
  static std::optional<Value> Get(const Key& key, const std::string& name) {
    Value value;
    uint32_t size = 0;
    if (sys::RegQueryValueEx(key.get(), name.c_str(), &value.type, nullptr, &size) != 0)
      return std::nullopt;
    value.data.resize(size);
    uint32_t got = size;
    if (sys::RegQueryValueEx(key.get(), name.c_str(), &value.type, value.data.data(), &got) != 0 ||
        got != size)
      return std::nullopt;
    return value;
  }

  static std::vector<std::string> Subkeys(const Key& key) {
    std::vector<std::string> names;
    char name[260];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = sizeof name;
      if (sys::RegEnumKeyEx(key.get(), i, name, &size) != 0) break;
      names.emplace_back(name, size);
    }
    return names;
  }

  static std::vector<std::string> ValueNames(const Key& key) {
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0;; ++i) {
      uint32_t size = sizeof name;
      if (sys::RegEnumValue(key.get(), i, name, &size, nullptr, nullptr, nullptr) != 0) break;
      names.emplace_back(name, size);
    }
    return names;
  }

  systest::TempFolder dir_;
  std::optional<systest::ScopedEnv> registry_;
  std::string base_;
};

struct NamedValue {
  const char* what;
  std::string name;
  Value value;
};

std::vector<NamedValue> AnyBytes() {
  std::vector<uint8_t> all;
  for (int i = 0; i < 300; ++i) all.push_back(static_cast<uint8_t>(i * 7));
  std::vector<NamedValue> values = {
      {"plain text", "Title", Bytes(sys::kRegSz, std::string("Song 2\0", 7))},
      {"empty text of size 0", "Empty", Value{sys::kRegSz, {}}},
      {"quotes and backslashes", "Template", Bytes(sys::kRegSz, std::string("\"%1\" \\ C:\\x\\\0", 14))},
      {"line breaks", "Lines", Bytes(sys::kRegSz, std::string("one\r\ntwo\n\0", 10))},
      {"bytes above 127", "Cyrillic", Bytes(sys::kRegSz, std::string("\xCF\xF0\xE8\xE2\xE5\xF2\0", 7))},
      {"a zero inside", "Inner", Bytes(sys::kRegSz, std::string("a\0b\0", 4))},
      {"dword", "Count", Bytes(sys::kRegDword, std::string("\x03\x00\x00\x80", 4))},
      {"binary across lines", "Blob", Value{sys::kRegBinary, all}},
      {"multi-string", "List", Bytes(sys::kRegMultiSz, std::string("a\0bc\0\0", 6))},
      {"odd name", "Name \"with\" \\ and \xE9", Bytes(sys::kRegSz, std::string("x\0", 2))},
      {"default value", "", Bytes(sys::kRegSz, std::string("default\0", 8))},
  };
#ifndef _WIN32
  // The ANSI functions of the real registry add a terminator of their own.
  values.push_back({"no terminator", "Bare", Bytes(sys::kRegSz, "abc")});
#endif
  return values;
}

TEST_F(SysRegistry, ValuesWithAnyBytesRoundTrip) {
  Key key;
  ASSERT_EQ(Create("\\Values", &key), 0);
  for (const NamedValue& v : AnyBytes()) ASSERT_EQ(Set(key, v.name, v.value), 0) << v.what;
  for (const NamedValue& v : AnyBytes()) EXPECT_EQ(Get(key, v.name), v.value) << v.what;
#ifndef _WIN32
  // The same values come back from the file alone, read by a fresh start.
  const std::string copy = dir_ / "copy.reg";
  ASSERT_TRUE(systest::WriteWhole(copy, *systest::ReadWhole(RegistryFile())));
  systest::ScopedEnv other("TAGWRIGHT_REGISTRY", copy);
  Key reread;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Values").c_str(), sys::kKeyRead,
                              reread.out()),
            0);
  for (const NamedValue& v : AnyBytes()) EXPECT_EQ(Get(reread, v.name), v.value) << v.what;
#endif
}

TEST_F(SysRegistry, BuffersTooSmallAndTheEndOfEnumeration) {
  Key key;
  ASSERT_EQ(Create("\\Small", &key), 0);
  ASSERT_EQ(Set(key, "LongValueName", Bytes(sys::kRegSz, std::string("0123456789\0", 11))), 0);
  Key sub;
  ASSERT_EQ(Create("\\Small\\LongSubkeyName", &sub), 0);

  uint8_t data[4];
  uint32_t size = sizeof data;
  uint32_t type = 0;
  EXPECT_EQ(sys::RegQueryValueEx(key.get(), "LongValueName", &type, data, &size), long{sys::kErrorMoreData});
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(sys::RegQueryValueEx(key.get(), "Missing", &type, nullptr, &size), long{sys::kErrorFileNotFound});

  char name[8];
  uint32_t nameSize = sizeof name;
  EXPECT_EQ(sys::RegEnumValue(key.get(), 0, name, &nameSize, nullptr, nullptr, nullptr),
            long{sys::kErrorMoreData});
  nameSize = sizeof name;
  EXPECT_EQ(sys::RegEnumKeyEx(key.get(), 0, name, &nameSize), long{sys::kErrorMoreData});
  char big[64];
  nameSize = sizeof big;
  EXPECT_EQ(sys::RegEnumValue(key.get(), 1, big, &nameSize, nullptr, nullptr, nullptr),
            long{sys::kErrorNoMoreItems});
  nameSize = sizeof big;
  EXPECT_EQ(sys::RegEnumKeyEx(key.get(), 1, big, &nameSize), long{sys::kErrorNoMoreItems});
}

TEST_F(SysRegistry, SubkeysComeSortedIgnoringCase) {
  Key key;
  ASSERT_EQ(Create("\\Order", &key), 0);
  for (const char* name : {"b", "Zeta", "10", "A", "2", "a1", "-x", "TEMP", "3"}) {
    Key sub;
    ASSERT_EQ(sys::RegCreateKeyEx(key.get(), name, kKeyAll, sub.out()), 0) << name;
  }
  EXPECT_EQ(Subkeys(key),
            (std::vector<std::string>{"-x", "10", "2", "3", "A", "a1", "b", "TEMP", "Zeta"}));
}

#ifndef _WIN32
// Windows enumerates values in the order they were made (Wine sorts them by
// name, so this runs natively only).
TEST_F(SysRegistry, ValuesComeInTheOrderTheyWereMade) {
  Key key;
  ASSERT_EQ(Create("\\Values", &key), 0);
  for (const char* name : {"z", "a", "M", "b"}) ASSERT_EQ(Set(key, name, Bytes(sys::kRegSz, "")), 0);
  ASSERT_EQ(Set(key, "A", Bytes(sys::kRegSz, "again")), 0);  // the same value, set again
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"z", "a", "M", "b"}));
}
#endif

TEST_F(SysRegistry, NamesIgnoreCaseButKeepTheirs) {
  Key key;
  ASSERT_EQ(Create("\\MixedCase", &key), 0);
  ASSERT_EQ(Set(key, "ProcessExt", Bytes(sys::kRegSz, std::string("*.mp3\0", 6))), 0);
  Key upper;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\MIXEDCASE").c_str(), sys::kKeyRead,
                              upper.out()),
            0);
  EXPECT_EQ(Get(upper, "PROCESSEXT"), Bytes(sys::kRegSz, std::string("*.mp3\0", 6)));
  Key again;
  ASSERT_EQ(Create("\\mixedcase", &again), 0);
  Key parent;
  ASSERT_EQ(Create("", &parent), 0);
  EXPECT_EQ(Subkeys(parent), std::vector<std::string>{"MixedCase"});
  EXPECT_EQ(ValueNames(again), std::vector<std::string>{"ProcessExt"});
}

TEST_F(SysRegistry, KeyTreesAreDeletedLeavesFirst) {
  Key leaf;
  ASSERT_EQ(Create("\\Scheme\\0\\Deep", &leaf), 0);
  ASSERT_EQ(Set(leaf, "SchemeName", Bytes(sys::kRegSz, std::string("x\0", 2))), 0);
  // A key with subkeys stays, as Windows keeps it.
  EXPECT_EQ(sys::RegDeleteKey(sys::CurrentUserKey(), (base_ + "\\Scheme").c_str()),
            long{sys::kErrorAccessDenied});
  Key still;
  EXPECT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Scheme\\0\\Deep").c_str(),
                              sys::kKeyRead, still.out()),
            0);

  EXPECT_EQ(sys::RegDeleteKey(sys::CurrentUserKey(), (base_ + "\\Scheme\\0\\Deep").c_str()), 0);
  // The handle on the deleted key no longer reaches anything.
  EXPECT_EQ(Get(leaf, "SchemeName"), std::nullopt);
  uint32_t size = 0;
  EXPECT_EQ(sys::RegQueryValueEx(leaf.get(), "SchemeName", nullptr, nullptr, &size), kErrorKeyDeleted);
  EXPECT_EQ(sys::RegDeleteKey(sys::CurrentUserKey(), (base_ + "\\Scheme\\0").c_str()), 0);
  EXPECT_EQ(sys::RegDeleteKey(sys::CurrentUserKey(), (base_ + "\\Scheme").c_str()), 0);
  Key gone;
  EXPECT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Scheme").c_str(), sys::kKeyRead,
                              gone.out()),
            long{sys::kErrorFileNotFound});
  EXPECT_EQ(sys::RegDeleteKey(sys::CurrentUserKey(), (base_ + "\\Scheme").c_str()),
            long{sys::kErrorFileNotFound});

  // Made again under the same name, the key starts empty.
  Key fresh;
  ASSERT_EQ(Create("\\Scheme\\0\\Deep", &fresh), 0);
  EXPECT_EQ(Get(fresh, "SchemeName"), std::nullopt);
}

TEST_F(SysRegistry, AKeyOpenedForReadingIsNotWritten) {
  Key made;
  ASSERT_EQ(Create("\\ReadOnly", &made), 0);
  Key key;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\ReadOnly").c_str(), sys::kKeyRead,
                              key.out()),
            0);
  EXPECT_EQ(Set(key, "X", Bytes(sys::kRegSz, std::string("1\0", 2))), long{sys::kErrorAccessDenied});
  EXPECT_EQ(Get(made, "X"), std::nullopt);
}

// Reads inside a transaction see its changes, also of keys it made; after the
// commit they are simply there. Transactions nest.
TEST_F(SysRegistry, ATransactionReadsBackItsOwnChanges) {
  Key made;
  ASSERT_EQ(Create("\\Dialog", &made), 0);
  ASSERT_EQ(Set(made, "Gone", Bytes(sys::kRegSz, std::string("x\0", 2))), 0);
  sys::RegBeginChanges();
  Key key;
  ASSERT_EQ(Create("\\Dialog\\New", &key), 0);
  EXPECT_EQ(Set(key, "Format", Bytes(sys::kRegSz, std::string("%1\0", 3))), 0);
  EXPECT_EQ(sys::RegDeleteValue(made.get(), "Gone"), 0);
  sys::RegBeginChanges();
  EXPECT_EQ(Set(key, "Inner", Bytes(sys::kRegSz, std::string("1\0", 2))), 0);
  EXPECT_EQ(sys::RegCommitChanges(), 0);
  Key reader;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\DIALOG\\new").c_str(),
                              sys::kKeyRead, reader.out()),
            0);
  EXPECT_EQ(Get(reader, "format"), Bytes(sys::kRegSz, std::string("%1\0", 3)));
  EXPECT_EQ(Get(reader, "Inner"), Bytes(sys::kRegSz, std::string("1\0", 2)));
  EXPECT_EQ(Get(made, "Gone"), std::nullopt);
  EXPECT_EQ(sys::RegCommitChanges(), 0);
  EXPECT_EQ(ValueNames(reader), (std::vector<std::string>{"Format", "Inner"}));
  EXPECT_EQ(Get(made, "Gone"), std::nullopt);
}

#ifndef _WIN32

TEST_F(SysRegistry, FileIsRegeditText) {
  Key key;
  ASSERT_EQ(Create("\\Dialog", &key), 0);
  ASSERT_EQ(Set(key, "Title", Bytes(sys::kRegSz, std::string("say \"hi\" C:\\") + '\0')), 0);
  ASSERT_EQ(Set(key, "Empty", Value{sys::kRegSz, {}}), 0);
  ASSERT_EQ(Set(key, "Ru", Bytes(sys::kRegSz, std::string("\xCF\0", 2))), 0);
  ASSERT_EQ(Set(key, "N", Bytes(sys::kRegDword, std::string("\x2a\0\0\0", 4))), 0);
  ASSERT_EQ(Set(key, "", Bytes(sys::kRegBinary, "\x01\xff")), 0);
  Key empty;
  ASSERT_EQ(Create("\\Dialog\\Scheme", &empty), 0);
  const std::string path = "HKEY_CURRENT_USER\\" + base_;
  EXPECT_EQ(systest::ReadWhole(RegistryFile()),
            "REGEDIT4\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"  // every key, also one without values
            "[" + path + "]\r\n\r\n"
            "[" + path + "\\Dialog]\r\n"
            "\"Title\"=\"say \\\"hi\\\" C:\\\\\"\r\n"
            "\"Empty\"=hex(1):\r\n"
            "\"Ru\"=hex(1):cf,00\r\n"
            "\"N\"=dword:0000002a\r\n"
            "@=hex:01,ff\r\n\r\n"
            "[" + path + "\\Dialog\\Scheme]\r\n\r\n");
}

TEST_F(SysRegistry, ChangesOnDiskAreSeen) {
  Key key;
  ASSERT_EQ(Create("\\Edited", &key), 0);
  ASSERT_EQ(Set(key, "Old", Bytes(sys::kRegSz, std::string("1\0", 2))), 0);
  // As a user or regedit would write it: comments, LF line ends, a long value
  // over several lines, upper-case hex, a removed value and a removed key.
  const std::string path = "HKEY_CURRENT_USER\\" + base_;
  ASSERT_TRUE(systest::WriteWhole(RegistryFile(),
                                  "REGEDIT4\n"
                                  "; edited by hand\n"
                                  "[" + path + "\\Edited]\n"
                                  "\"Old\"=-\n"
                                  "\"Text\"=\"a \\\"b\\\"\"\n"
                                  "\"Bin\"=hex:00,01,\\\n"
                                  "  FE,ff\n"
                                  "\"Type7\"=hex(7):61,00,00\n"
                                  "@=dword:FFFFFFFF\n"
                                  "[" + path + "\\Gone]\n"
                                  "[-" + path + "\\Gone]\n"));
  EXPECT_EQ(Get(key, "Old"), std::nullopt);
  EXPECT_EQ(Get(key, "Text"), Bytes(sys::kRegSz, std::string("a \"b\"\0", 6)));
  EXPECT_EQ(Get(key, "Bin"), Bytes(sys::kRegBinary, std::string("\x00\x01\xfe\xff", 4)));
  EXPECT_EQ(Get(key, "Type7"), Bytes(sys::kRegMultiSz, std::string("a\0\0", 3)));
  EXPECT_EQ(Get(key, ""), Bytes(sys::kRegDword, "\xff\xff\xff\xff"));
  Key gone;
  EXPECT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Gone").c_str(), sys::kKeyRead,
                              gone.out()),
            long{sys::kErrorFileNotFound});
}

TEST_F(SysRegistry, DamagedFileReadsAsEmptyAndIsKeptAside) {
  Key made;
  ASSERT_EQ(Create("\\X", &made), 0);  // makes the folder and the file
  const std::string damaged = "REGEDIT4\n[HKEY_CURRENT_USER\\" + base_ + "\\X]\nnot a value line\n";
  ASSERT_TRUE(systest::WriteWhole(RegistryFile(), damaged));
  ASSERT_TRUE(systest::WriteWhole(RegistryFile() + ".damaged-1", "an older one"));

  Key x;
  EXPECT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\X").c_str(), sys::kKeyRead, x.out()),
            long{sys::kErrorFileNotFound});
  Key y;
  EXPECT_EQ(Create("\\Y", &y), 0);
  EXPECT_EQ(systest::ReadWhole(RegistryFile() + ".damaged-2"), damaged);
  EXPECT_EQ(systest::ReadWhole(RegistryFile() + ".damaged-1"), "an older one");
  Key base;
  ASSERT_EQ(Create("", &base), 0);
  EXPECT_EQ(Subkeys(base), std::vector<std::string>{"Y"});
}

// Each child adds its own values to one key at the same time as the others:
// every change is a read-modify-write of the whole file under the lock.
TEST_F(SysRegistry, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kChildren = 4;
  constexpr int kValues = 25;
  Key key;
  ASSERT_EQ(Create("\\Shared", &key), 0);
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int v = 0; v < kValues; ++v) {
        Key mine;
        const std::string name = "c" + std::to_string(c) + "v" + std::to_string(v);
        if (sys::RegCreateKeyEx(sys::CurrentUserKey(), (base_ + "\\Shared").c_str(), kKeyAll,
                                mine.out()) != 0 ||
            Set(mine, name, Bytes(sys::kRegSz, name + '\0')) != 0)
          ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ValueNames(key).size(), size_t{kChildren * kValues});
  for (int c = 0; c < kChildren; ++c)
    for (int v = 0; v < kValues; ++v) {
      const std::string name = "c" + std::to_string(c) + "v" + std::to_string(v);
      EXPECT_EQ(Get(key, name), Bytes(sys::kRegSz, name + '\0')) << name;
    }
}

// A file as a user might put it together: thousands of values and subkeys, in
// no order, in mixed case, keys given twice, values removed and set again.
// Lookups ignore case, values list in the order they were first made (one
// removed and made again goes last), subkeys in sorted order.
TEST_F(SysRegistry, LargeHandMadeFileKeepsItsOrders) {
  constexpr int kCount = 3000;
  const std::string path = "HKEY_CURRENT_USER\\" + base_;
  auto scrambled = [](int i) { return (i * 7919) % kCount; };  // each of 0..kCount-1 once
  std::string text = "REGEDIT4\r\n\r\n[" + path + "\\Values]\r\n";
  std::vector<std::string> expectedValues;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = (i % 2 ? "v" : "V") + std::to_string(scrambled(i));
    text += "\"" + name + "\"=\"" + std::to_string(i) + "\"\r\n";
    expectedValues.push_back(name);
  }
  // Every third value again in upper case: the first spelling and place stay.
  for (int i = 0; i < kCount; i += 3)
    text += "\"V" + std::to_string(scrambled(i)) + "\"=\"again " + std::to_string(i) + "\"\r\n";
  // Most of the first three quarters removed (more than half of all), the
  // first of them made again.
  const auto removed = [](int i) { return i < kCount * 3 / 4 && i % 5 != 4; };
  std::vector<std::string> kept;
  for (int i = 0; i < kCount; ++i) {
    if (removed(i)) {
      text += "\"" + expectedValues[i] + "\"=-\r\n";
    } else {
      kept.push_back(expectedValues[i]);
    }
  }
  text += "\"" + expectedValues[0] + "\"=\"back\"\r\n";
  kept.push_back(expectedValues[0]);
  std::vector<std::string> expectedKeys;
  for (int i = 0; i < kCount; ++i) {
    const std::string name = (i % 2 ? "k" : "K") + std::to_string(scrambled(i));
    text += "\r\n[" + path + "\\Keys\\" + name + "]\r\n\"N\"=\"" + std::to_string(i) + "\"\r\n";
    expectedKeys.push_back(name);
  }
  // The same keys again in upper case add nothing but their values.
  for (int i = 0; i < kCount; i += 100) {
    std::string upper = expectedKeys[i];
    upper[0] = 'K';
    text += "\r\n[" + path + "\\KEYS\\" + upper + "]\r\n\"Second\"=\"1\"\r\n";
  }
  Key base;
  ASSERT_EQ(Create("", &base), 0);  // makes the file's folder
  ASSERT_TRUE(systest::WriteWhole(RegistryFile(), text));

  Key values;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\values").c_str(), sys::kKeyRead,
                              values.out()),
            0);
  EXPECT_EQ(ValueNames(values), kept);
  for (int i = 0; i < kCount; ++i) {
    std::string upper = expectedValues[i];
    upper[0] = 'V';
    const std::string data = i == 0       ? "back"
                             : i % 3 == 0 ? "again " + std::to_string(i)
                                          : std::to_string(i);
    const std::optional<Value> expected =
        i > 0 && removed(i) ? std::nullopt : std::optional<Value>(Bytes(sys::kRegSz, data + '\0'));
    EXPECT_EQ(Get(values, upper), expected) << expectedValues[i];
  }

  Key keys;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Keys").c_str(), sys::kKeyRead,
                              keys.out()),
            0);
  std::vector<std::string> sorted = expectedKeys;
  // All start with the same letter in one case or the other: the digits decide.
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string& a, const std::string& b) { return a.substr(1) < b.substr(1); });
  EXPECT_EQ(Subkeys(keys), sorted);
  for (int i = 0; i < kCount; i += 100) {
    Key sub;
    ASSERT_EQ(sys::RegOpenKeyEx(keys.get(), expectedKeys[i].c_str(), sys::kKeyRead, sub.out()), 0);
    EXPECT_EQ(ValueNames(sub), (std::vector<std::string>{"N", "Second"}));
  }
  // The clean-up deletes key by key, each a write of the file: these go at once.
  ASSERT_TRUE(systest::WriteWhole(RegistryFile(), "REGEDIT4\r\n"));
}

// Names with letters of the ANSI code page (1251 here): the same name in
// another case is the same value and the same key.
TEST_F(SysRegistry, CyrillicNamesIgnoreCase) {
  systest::ScopedEnv pages("TAGWRIGHT_CODEPAGES", "866:1251");
  Key key;
  ASSERT_EQ(Create("\\\xD1\xF5\xE5\xEC\xE0", &key), 0);  // "Схема"
  ASSERT_EQ(Set(key, "\xC8\xEC\xFF", Bytes(sys::kRegSz, std::string("1\0", 2))), 0);  // "Имя"
  Key upper;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\\xD1\xD5\xC5\xCC\xC0").c_str(),
                              sys::kKeyRead, upper.out()),
            0);
  EXPECT_EQ(Get(upper, "\xE8\xEC\xDF"), Bytes(sys::kRegSz, std::string("1\0", 2)));
}

// Another program holds the file's lock: a change waits a few seconds, then
// fails with ERROR_LOCK_VIOLATION and leaves the file as it was; reads go on.
// Once the lock is free the same change is made.
TEST_F(SysRegistry, AChangeGivesUpOnALockHeldByAnotherProgram) {
  Key key;
  ASSERT_EQ(Create("\\Locked", &key), 0);
  ASSERT_EQ(Set(key, "Old", Bytes(sys::kRegSz, std::string("1\0", 2))), 0);
  const std::optional<std::string> before = systest::ReadWhole(RegistryFile());
  {
    registryprobe::LockHolder holder(RegistryFile() + ".lock");
    ASSERT_TRUE(holder.Held());
    EXPECT_EQ(Set(key, "New", Bytes(sys::kRegSz, std::string("2\0", 2))),
              long{sys::kErrorLockViolation});
    EXPECT_EQ(sys::LastError(), sys::kErrorLockViolation);
    EXPECT_EQ(systest::ReadWhole(RegistryFile()), before);
    EXPECT_EQ(Get(key, "New"), std::nullopt);
    EXPECT_EQ(Get(key, "Old"), Bytes(sys::kRegSz, std::string("1\0", 2)));
  }
  EXPECT_EQ(Set(key, "New", Bytes(sys::kRegSz, std::string("2\0", 2))), 0);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"Old", "New"}));
}

// A transaction is one lock and one replacement of the file, however many
// changes it holds; before its commit the file on disk is as it was.
TEST_F(SysRegistry, ATransactionIsOneWriteOfTheFile) {
  Key made;
  ASSERT_EQ(Create("\\Dialog", &made), 0);
  ASSERT_EQ(Set(made, "Gone", Bytes(sys::kRegSz, std::string("x\0", 2))), 0);
  const std::optional<std::string> before = systest::ReadWhole(RegistryFile());
  registryprobe::FileWatch watch(dir_ / "config", "registry.reg");
  ASSERT_TRUE(watch.Watching());

  sys::RegBeginChanges();
  for (int v = 0; v < 24; ++v) {
    Key key;
    const std::string subkey = v < 12 ? "\\Dialog" : "\\Dialog\\Scheme\\" + std::to_string(v % 3);
    ASSERT_EQ(Create(subkey, &key), 0);
    ASSERT_EQ(Set(key, "V" + std::to_string(v), Bytes(sys::kRegSz, std::to_string(v) + '\0')), 0);
  }
  EXPECT_EQ(sys::RegDeleteValue(made.get(), "Gone"), 0);
  sys::RegBeginChanges();
  Key inner;
  ASSERT_EQ(Create("\\Dialog", &inner), 0);
  ASSERT_EQ(Set(inner, "Inner", Bytes(sys::kRegSz, "")), 0);
  EXPECT_EQ(sys::RegCommitChanges(), 0);
  EXPECT_EQ(watch.Replacements(), 0);
  EXPECT_EQ(systest::ReadWhole(RegistryFile()), before);
  EXPECT_EQ(sys::RegCommitChanges(), 0);
  EXPECT_EQ(watch.Replacements(), 1);
  EXPECT_EQ(watch.LockOpenings(), 1);

  // What the file now holds, read by a fresh start from a copy of it.
  const std::string copy = dir_ / "copy.reg";
  ASSERT_TRUE(systest::WriteWhole(copy, *systest::ReadWhole(RegistryFile())));
  systest::ScopedEnv other("TAGWRIGHT_REGISTRY", copy);
  Key dialog;
  ASSERT_EQ(sys::RegOpenKeyEx(sys::CurrentUserKey(), (base_ + "\\Dialog").c_str(), sys::kKeyRead,
                              dialog.out()),
            0);
  std::vector<std::string> names;
  for (int v = 0; v < 12; ++v) names.push_back("V" + std::to_string(v));
  names.push_back("Inner");
  EXPECT_EQ(ValueNames(dialog), names);
  EXPECT_EQ(Subkeys(dialog), std::vector<std::string>{"Scheme"});
  Key scheme;
  ASSERT_EQ(sys::RegOpenKeyEx(dialog.get(), "Scheme\\2", sys::kKeyRead, scheme.out()), 0);
  EXPECT_EQ(ValueNames(scheme), (std::vector<std::string>{"V14", "V17", "V20", "V23"}));
}

// A transaction that cannot have the lock goes on in memory, so that what it
// reads back is its own; its commit says why nothing was written, and then
// nothing of it is left, on disk or in memory.
TEST_F(SysRegistry, ATransactionWithoutTheLockKeepsNothing) {
  Key key;
  ASSERT_EQ(Create("\\Dialog", &key), 0);
  ASSERT_EQ(Set(key, "Format", Bytes(sys::kRegSz, std::string("old\0", 4))), 0);
  const std::optional<std::string> before = systest::ReadWhole(RegistryFile());
  {
    registryprobe::LockHolder holder(RegistryFile() + ".lock");
    ASSERT_TRUE(holder.Held());
    // Values as they are stored already need no write, so nothing failed.
    sys::RegBeginChanges();
    EXPECT_EQ(Set(key, "Format", Bytes(sys::kRegSz, std::string("old\0", 4))), 0);
    EXPECT_EQ(sys::RegCommitChanges(), 0);

    sys::RegBeginChanges();
    EXPECT_EQ(Set(key, "Format", Bytes(sys::kRegSz, std::string("new\0", 4))), 0);
    Key made;
    EXPECT_EQ(Create("\\Dialog\\Made", &made), 0);
    EXPECT_EQ(Get(key, "Format"), Bytes(sys::kRegSz, std::string("new\0", 4)));
    EXPECT_EQ(sys::RegCommitChanges(), long{sys::kErrorLockViolation});
    EXPECT_EQ(sys::LastError(), sys::kErrorLockViolation);
  }
  EXPECT_EQ(systest::ReadWhole(RegistryFile()), before);
  EXPECT_EQ(Get(key, "Format"), Bytes(sys::kRegSz, std::string("old\0", 4)));
  EXPECT_TRUE(Subkeys(key).empty());
  // The next transaction starts afresh.
  sys::RegBeginChanges();
  EXPECT_EQ(Set(key, "Format", Bytes(sys::kRegSz, std::string("next\0", 5))), 0);
  EXPECT_EQ(sys::RegCommitChanges(), 0);
  EXPECT_NE(systest::ReadWhole(RegistryFile()), before);
}

#endif  // !_WIN32

}  // namespace
