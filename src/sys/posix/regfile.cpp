// REGEDIT4 text: the form regedit exports and imports, so that a user can read
// the file, edit it, and carry it to Windows. REG_SZ is written as "text" only
// when that form gives back exactly the same bytes (printable ASCII with one
// terminating zero); any other string goes as hex(1): so that quotes, line
// breaks, bytes above 127, missing terminators and the empty value of size 0
// all survive.
#include <atomic>
#include <cstdio>

#include "sys/posix/posix_internal.h"
#include "sys/posix/regfile.h"

namespace sys::posix {
namespace {

constexpr char kRootName[] = "HKEY_CURRENT_USER";
constexpr uint32_t kTypeSz = 1;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr size_t kLineWidth = 76;

uint64_t NextId() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

bool SameName(const std::string& a, const std::string& b) { return CompareNames(a, b) == 0; }

// ------------------------------------------------------------ writing

void AppendQuoted(std::string* out, const std::string& text) {
  out->push_back('"');
  for (const char c : text) {
    if (c == '"' || c == '\\') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

bool IsPlainText(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i)
    if (data[i] < 0x20 || data[i] > 0x7E) return false;
  return true;
}

void AppendHex(std::string* out, size_t lineStart, const std::vector<uint8_t>& data) {
  static const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < data.size(); ++i) {
    out->push_back(kDigits[data[i] >> 4]);
    out->push_back(kDigits[data[i] & 15]);
    if (i + 1 == data.size()) break;
    out->push_back(',');
    if (out->size() - lineStart > kLineWidth) {
      out->append("\\\r\n  ");
      lineStart = out->size() - 2;
    }
  }
}

void AppendValue(std::string* out, const RegValue& value) {
  const size_t lineStart = out->size();
  if (value.name.empty())
    out->push_back('@');
  else
    AppendQuoted(out, value.name);
  out->push_back('=');
  if (value.type == kTypeSz && IsPlainText(value.data)) {
    AppendQuoted(out, std::string(value.data.begin(), value.data.end() - 1));
  } else if (value.type == kTypeDword && value.data.size() == 4) {
    char text[16];
    const uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                       (static_cast<uint32_t>(value.data[3]) << 24);
    snprintf(text, sizeof text, "dword:%08x", v);
    out->append(text);
  } else {
    if (value.type == kTypeBinary) {
      out->append("hex:");
    } else {
      char text[24];
      snprintf(text, sizeof text, "hex(%x):", value.type);
      out->append(text);
    }
    AppendHex(out, lineStart, value.data);
  }
  out->append("\r\n");
}

void AppendKey(std::string* out, const RegNode& node, const std::string& path, bool isRoot) {
  if (!isRoot || node.ValueCount() > 0) {
    out->append("[").append(path).append("]\r\n");
    for (size_t i = 0; i < node.ValueCount(); ++i) AppendValue(out, node.Value(i));
    out->append("\r\n");
  }
  for (size_t i = 0; i < node.SubkeyCount(); ++i) {
    const RegNode& sub = node.Subkey(i);
    AppendKey(out, sub, path + "\\" + sub.name(), false);
  }
}

// ------------------------------------------------------------ reading

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void SkipSpaces(const std::string& line, size_t* pos) {
  while (*pos < line.size() && (line[*pos] == ' ' || line[*pos] == '\t')) ++*pos;
}

// A quoted text at `*pos` (the opening quote); \\ and \" are the escapes, and
// any other backslash is kept as it stands, as regedit does.
bool ReadQuoted(const std::string& line, size_t* pos, std::string* text) {
  if (*pos >= line.size() || line[*pos] != '"') return false;
  ++*pos;
  text->clear();
  while (*pos < line.size()) {
    const char c = line[*pos];
    if (c == '"') {
      ++*pos;
      return true;
    }
    if (c == '\\' && *pos + 1 < line.size() && (line[*pos + 1] == '\\' || line[*pos + 1] == '"')) {
      text->push_back(line[*pos + 1]);
      *pos += 2;
      continue;
    }
    text->push_back(c);
    ++*pos;
  }
  return false;
}

bool ReadHexBytes(const std::string& text, std::vector<uint8_t>* data) {
  data->clear();
  size_t pos = 0;
  SkipSpaces(text, &pos);
  if (pos == text.size()) return true;
  for (;;) {
    SkipSpaces(text, &pos);
    const int high = pos < text.size() ? HexDigit(text[pos]) : -1;
    const int low = pos + 1 < text.size() ? HexDigit(text[pos + 1]) : -1;
    if (high < 0 || low < 0) return false;
    data->push_back(static_cast<uint8_t>(high * 16 + low));
    pos += 2;
    SkipSpaces(text, &pos);
    if (pos == text.size()) return true;
    if (text[pos] != ',') return false;
    ++pos;
  }
}

bool ReadData(const std::string& text, uint32_t* type, std::vector<uint8_t>* data) {
  if (!text.empty() && text[0] == '"') {
    size_t pos = 0;
    std::string value;
    if (!ReadQuoted(text, &pos, &value)) return false;
    SkipSpaces(text, &pos);
    if (pos != text.size()) return false;
    *type = kTypeSz;
    data->assign(value.begin(), value.end());
    data->push_back(0);
    return true;
  }
  if (text.compare(0, 6, "dword:") == 0) {
    const std::string digits = text.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (const char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    *type = kTypeDword;
    *data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
             static_cast<uint8_t>(v >> 24)};
    return true;
  }
  if (text.compare(0, 4, "hex:") == 0) {
    *type = kTypeBinary;
    return ReadHexBytes(text.substr(4), data);
  }
  if (text.compare(0, 4, "hex(") == 0) {
    const size_t close = text.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) return false;
    uint32_t t = 0;
    for (size_t i = 4; i < close; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      t = t * 16 + static_cast<uint32_t>(d);
    }
    *type = t;
    return ReadHexBytes(text.substr(close + 2), data);
  }
  return false;
}

// The key path of a header line, split at '\'; false when it is not below
// HKEY_CURRENT_USER or has a name in it that no key can have (empty, or with
// a line break: the file could not give it back).
bool SplitKeyPath(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  const size_t rootLength = sizeof kRootName - 1;
  if (path.size() < rootLength || !SameName(path.substr(0, rootLength), kRootName)) return false;
  if (path.size() == rootLength) return true;
  if (path[rootLength] != '\\') return false;
  size_t start = rootLength + 1;
  for (;;) {
    const size_t slash = path.find('\\', start);
    const std::string name = path.substr(start, slash == std::string::npos ? std::string::npos
                                                                            : slash - start);
    if (!IsStorableKeyName(name)) return false;
    names->push_back(name);
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

// The lines of a text one at a time, without their line ends (CR LF or LF)
// and without a leading UTF-8 byte order mark.
class Lines {
 public:
  explicit Lines(const std::string& text) : text_(text) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) at_ = 3;
  }

  bool Next(std::string* line) {
    if (at_ >= text_.size()) return false;
    size_t end = text_.find('\n', at_);
    if (end == std::string::npos) end = text_.size();
    line->assign(text_, at_, end - at_);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    at_ = end + 1;
    return true;
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

}  // namespace

// ------------------------------------------------------------ RegNode

RegNode::RegNode(std::string name) : name_(std::move(name)), id_(NextId()) {}

size_t RegNode::ValueCount() const {
  CloseHoles();
  return values_.size();
}

const RegValue& RegNode::Value(size_t index) const {
  CloseHoles();
  return *values_[index];
}

void RegNode::CloseHoles() const {
  if (holes_ == 0) return;
  size_t kept = 0;
  for (size_t i = 0; i < values_.size(); ++i) {
    if (!values_[i]) continue;
    if (kept != i) {
      values_[kept] = std::move(values_[i]);
      valueIndex_[FoldName(values_[kept]->name)] = kept;
    }
    ++kept;
  }
  values_.resize(kept);
  holes_ = 0;
}

RegValue* RegNode::FindValue(const std::string& name) {
  const auto it = valueIndex_.find(FoldName(name));
  return it != valueIndex_.end() ? &*values_[it->second] : nullptr;
}

bool RegNode::SetValue(const std::string& name, uint32_t type, std::vector<uint8_t> data) {
  const auto [it, added] = valueIndex_.try_emplace(FoldName(name), values_.size());
  if (added) {
    values_.push_back(RegValue{name, type, std::move(data)});
    return true;
  }
  RegValue& value = *values_[it->second];
  if (value.type == type && value.data == data) return false;
  value.type = type;
  value.data = std::move(data);
  return true;
}

bool RegNode::RemoveValue(const std::string& name) {
  const auto it = valueIndex_.find(FoldName(name));
  if (it == valueIndex_.end()) return false;
  values_[it->second].reset();
  valueIndex_.erase(it);
  ++holes_;
  // Many holes in a long list are closed at once, so that the list does not
  // grow without bound while values come and go.
  if (holes_ > 64 && holes_ * 2 > values_.size()) CloseHoles();
  return true;
}

void RegNode::ListSubkeys() const {
  if (!subkeyOrderStale_) return;
  subkeyOrder_.clear();
  subkeyOrder_.reserve(subkeys_.size());
  for (const auto& entry : subkeys_) subkeyOrder_.push_back(entry.second.get());
  subkeyOrderStale_ = false;
}

RegNode& RegNode::Subkey(size_t index) {
  ListSubkeys();
  return *subkeyOrder_[index];
}

const RegNode& RegNode::Subkey(size_t index) const {
  ListSubkeys();
  return *subkeyOrder_[index];
}

RegNode* RegNode::FindSubkey(const std::string& name) {
  const auto it = subkeys_.find(FoldName(name));
  return it != subkeys_.end() ? it->second.get() : nullptr;
}

const RegNode* RegNode::FindSubkey(const std::string& name) const {
  const auto it = subkeys_.find(FoldName(name));
  return it != subkeys_.end() ? it->second.get() : nullptr;
}

RegNode& RegNode::AddSubkey(const std::string& name) {
  std::unique_ptr<RegNode>& slot = subkeys_[FoldName(name)];
  if (!slot) {
    slot = std::make_unique<RegNode>(name);
    subkeyOrderStale_ = true;
  }
  return *slot;
}

bool RegNode::RemoveSubkey(const std::string& name) {
  if (subkeys_.erase(FoldName(name)) == 0) return false;
  subkeyOrderStale_ = true;
  return true;
}

void RegNode::AdoptIds(const RegNode& older) {
  id_ = older.id_;
  for (auto& [folded, sub] : subkeys_) {
    const auto old = older.subkeys_.find(folded);
    if (old != older.subkeys_.end()) sub->AdoptIds(*old->second);
  }
}

// ------------------------------------------------------------ text form

bool IsStorableValueName(const std::string& name) {
  return name.find_first_of("\r\n", 0, 2) == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool IsStorableKeyName(const std::string& name) {
  return !name.empty() && name.find_first_of("\r\n\\") == std::string::npos;
}

std::string FormatRegistryText(const RegNode& root) {
  std::string out = "REGEDIT4\r\n\r\n";
  AppendKey(&out, root, kRootName, true);
  return out;
}

std::unique_ptr<RegNode> ParseRegistryText(const std::string& text) {
  Lines lines(text);
  auto root = std::make_unique<RegNode>(kRootName);
  RegNode* current = nullptr;
  // The names of the last header and their keys: the next header mostly
  // shares all but its last name, which then need not be looked up again.
  std::vector<std::string> lastNames;
  std::vector<RegNode*> lastKeys;
  bool seenHeader = false;
  std::string line;
  std::string next;
  while (lines.Next(&line)) {
    size_t pos = 0;
    SkipSpaces(line, &pos);
    if (pos == line.size() || line[pos] == ';') continue;
    if (!seenHeader) {
      if (line != "REGEDIT4") return nullptr;
      seenHeader = true;
      continue;
    }
    if (line[pos] == '[') {
      const size_t close = line.rfind(']');
      if (close == std::string::npos || close < pos) return nullptr;
      size_t after = close + 1;
      SkipSpaces(line, &after);
      if (after != line.size()) return nullptr;
      std::string path = line.substr(pos + 1, close - pos - 1);
      const bool remove = !path.empty() && path[0] == '-';
      if (remove) path.erase(0, 1);
      std::vector<std::string> names;
      if (!SplitKeyPath(path, &names)) return nullptr;
      if (remove) {
        if (names.empty()) return nullptr;
        RegNode* parent = root.get();
        for (size_t n = 0; parent != nullptr && n + 1 < names.size(); ++n)
          parent = parent->FindSubkey(names[n]);
        if (parent != nullptr) parent->RemoveSubkey(names.back());
        current = nullptr;
        lastNames.clear();
        lastKeys.clear();
        continue;
      }
      size_t shared = 0;
      while (shared < names.size() && shared < lastNames.size() &&
             names[shared] == lastNames[shared])
        ++shared;
      lastKeys.resize(shared);
      current = shared > 0 ? lastKeys.back() : root.get();
      for (size_t n = shared; n < names.size(); ++n) {
        current = &current->AddSubkey(names[n]);
        lastKeys.push_back(current);
      }
      lastNames = std::move(names);
      continue;
    }
    if (current == nullptr) return nullptr;
    // A value: its data may go on over lines that end in a backslash.
    while (!line.empty() && line.back() == '\\' && lines.Next(&next)) {
      line.pop_back();
      size_t skip = 0;
      SkipSpaces(next, &skip);
      line.append(next, skip);
    }
    std::string name;
    if (line[pos] == '@') {
      ++pos;
    } else if (!ReadQuoted(line, &pos, &name) || !IsStorableValueName(name)) {
      return nullptr;
    }
    SkipSpaces(line, &pos);
    if (pos >= line.size() || line[pos] != '=') return nullptr;
    ++pos;
    SkipSpaces(line, &pos);
    std::string data = line.substr(pos);
    while (!data.empty() && (data.back() == ' ' || data.back() == '\t')) data.pop_back();
    if (data == "-") {
      current->RemoveValue(name);
      continue;
    }
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
    if (!ReadData(data, &type, &bytes)) return nullptr;
    current->SetValue(name, type, std::move(bytes));
  }
  // Nothing but blanks is an empty registry, not a damaged one.
  if (!seenHeader && text.find_first_not_of(" \t\r\n") != std::string::npos) return nullptr;
  return root;
}

}  // namespace sys::posix
