// The registry tree held in memory and its REGEDIT4 text form. Internal to
// the POSIX system layer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace sys::posix {

struct RegValue {
  std::string name;  // "" is the key's default value
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// One key. Names compare without regard to case and keep the case they were
// created with; subkeys are kept in the order Windows enumerates them (sorted
// case-insensitively), values in the order they were created. Both are found
// through an index by their folded names (FoldName), so that building a key of
// n values or subkeys takes O(n log n) at most, never O(n^2).
class RegNode {
 public:
  explicit RegNode(std::string name);
  RegNode(const RegNode&) = delete;
  RegNode& operator=(const RegNode&) = delete;

  const std::string& name() const { return name_; }
  // Tells this key from a later key of the same path (for handles that
  // outlive a deletion).
  uint64_t id() const { return id_; }

  // The values in the order they were created.
  size_t ValueCount() const;
  const RegValue& Value(size_t index) const;
  RegValue* FindValue(const std::string& name);
  // Sets a value; false when it already held exactly this.
  bool SetValue(const std::string& name, uint32_t type, std::vector<uint8_t> data);
  bool RemoveValue(const std::string& name);

  // The subkeys in enumeration order.
  size_t SubkeyCount() const { return subkeys_.size(); }
  RegNode& Subkey(size_t index);
  const RegNode& Subkey(size_t index) const;
  RegNode* FindSubkey(const std::string& name);
  const RegNode* FindSubkey(const std::string& name) const;
  RegNode& AddSubkey(const std::string& name);  // or the existing one
  bool RemoveSubkey(const std::string& name);

  // Gives the keys of `older` that this tree still has (same path) their old
  // ids, so that handles opened before a reload from disk stay valid.
  void AdoptIds(const RegNode& older);

 private:
  // Closes the holes removed values left in values_, and mends the index.
  void CloseHoles() const;
  void ListSubkeys() const;

  std::string name_;
  uint64_t id_;
  // Creation order. A removed value leaves an empty slot until the order is
  // next looked at, so that removing many values one by one (a hand-edited
  // file full of "name"=- lines) stays linear.
  mutable std::vector<std::optional<RegValue>> values_;
  mutable std::unordered_map<std::u16string, size_t> valueIndex_;  // folded name -> slot
  mutable size_t holes_ = 0;
  // Ordered by folded name, which is the enumeration order; subkeyOrder_ is
  // its list by position, made again after a change when it is next asked for.
  std::map<std::u16string, std::unique_ptr<RegNode>> subkeys_;
  mutable std::vector<RegNode*> subkeyOrder_;
  mutable bool subkeyOrderStale_ = false;
};

// Parses a REGEDIT4 file holding HKEY_CURRENT_USER; nothing when the text is
// damaged (not REGEDIT4, another root, a line that is not a key or a value).
std::unique_ptr<RegNode> ParseRegistryText(const std::string& text);
std::string FormatRegistryText(const RegNode& root);

// Names that the text form can hold: no line breaks (and, for keys, no '\').
bool IsStorableValueName(const std::string& name);
bool IsStorableKeyName(const std::string& name);

}  // namespace sys::posix
