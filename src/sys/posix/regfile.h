// The registry tree held in memory and its REGEDIT4 text form. Internal to
// the POSIX system layer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sys::posix {

struct RegValue {
  std::string name;  // "" is the key's default value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// One key. Names compare without regard to case and keep the case they were
// created with; subkeys are kept in the order Windows enumerates them (sorted
// case-insensitively), values in the order they were created.
class RegNode {
 public:
  explicit RegNode(std::string name);

  const std::string& name() const { return name_; }
  // Tells this key from a later key of the same path (for handles that
  // outlive a deletion).
  uint64_t id() const { return id_; }

  std::vector<RegValue>& values() { return values_; }
  const std::vector<RegValue>& values() const { return values_; }
  RegValue* FindValue(const std::string& name);
  // Sets a value; false when it already held exactly this.
  bool SetValue(const std::string& name, uint32_t type, std::vector<uint8_t> data);
  bool RemoveValue(const std::string& name);

  size_t SubkeyCount() const { return subkeys_.size(); }
  RegNode& Subkey(size_t index) { return *subkeys_[index]; }
  const RegNode& Subkey(size_t index) const { return *subkeys_[index]; }
  RegNode* FindSubkey(const std::string& name);
  RegNode& AddSubkey(const std::string& name);  // or the existing one
  bool RemoveSubkey(const std::string& name);

  // Gives the keys of `older` that this tree still has (same path) their old
  // ids, so that handles opened before a reload from disk stay valid.
  void AdoptIds(const RegNode& older);

 private:
  std::string name_;
  uint64_t id_;
  std::vector<RegValue> values_;
  std::vector<std::unique_ptr<RegNode>> subkeys_;
};

// Parses a REGEDIT4 file holding HKEY_CURRENT_USER; nothing when the text is
// damaged (not REGEDIT4, another root, a line that is not a key or a value).
std::unique_ptr<RegNode> ParseRegistryText(const std::string& text);
std::string FormatRegistryText(const RegNode& root);

// Names that the text form can hold: no line breaks (and, for keys, no '\').
bool IsStorableValueName(const std::string& name);
bool IsStorableKeyName(const std::string& name);

}  // namespace sys::posix
