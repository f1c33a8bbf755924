// The REGEDIT4 file of the POSIX registry: the input is the file's text.
//
// Properties: a text that parses is written out (FormatRegistryText) as a
// text that parses again to the same tree, and writing that tree gives the
// same text once more; every name of a parsed tree is one the text form can
// hold.
#include "fuzz_support.h"
#include "sys/posix/regfile.h"

namespace {

using sys::posix::RegNode;

bool NamesStorable(const RegNode& node) {
  for (size_t i = 0; i < node.ValueCount(); ++i)
    if (!sys::posix::IsStorableValueName(node.Value(i).name)) return false;
  for (size_t i = 0; i < node.SubkeyCount(); ++i) {
    const RegNode& sub = node.Subkey(i);
    if (!sys::posix::IsStorableKeyName(sub.name()) || !NamesStorable(sub)) return false;
  }
  return true;
}

bool SameTree(const RegNode& a, const RegNode& b) {
  if (a.name() != b.name() || a.ValueCount() != b.ValueCount() ||
      a.SubkeyCount() != b.SubkeyCount())
    return false;
  for (size_t i = 0; i < a.ValueCount(); ++i) {
    const auto& x = a.Value(i);
    const auto& y = b.Value(i);
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (size_t i = 0; i < a.SubkeyCount(); ++i)
    if (!SameTree(a.Subkey(i), b.Subkey(i))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::unique_ptr<RegNode> parsed = sys::posix::ParseRegistryText(text);
  if (!parsed) return 0;
  FUZZ_CHECK(NamesStorable(*parsed), "every name read from the text can be written back");
  const std::string first = sys::posix::FormatRegistryText(*parsed);
  const std::unique_ptr<RegNode> again = sys::posix::ParseRegistryText(first);
  FUZZ_CHECK(again != nullptr, "the text written from a parsed file parses");
  FUZZ_CHECK(SameTree(*parsed, *again), "the text written from a tree reads back as that tree");
  FUZZ_CHECK(sys::posix::FormatRegistryText(*again) == first,
             "writing a tree read back gives the same text");
  return 0;
}
