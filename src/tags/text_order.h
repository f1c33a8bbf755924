// How the tag code compares texts ignoring case and sorts them: with the
// host's LStricmp and qsort, which work in the host's OEM code page. The host
// layer installs them when it takes the host's tables (host::ConnectLayers);
// the tag code itself never talks to the host.
#pragma once

#include <cstddef>

namespace tags {

// 0 when equal ignoring case; otherwise the sign of the first difference.
using CompareNoCaseFunction = int (*)(const char* a, const char* b);
// qsort's contract: `compare` has the C calling convention.
using CompareItemsFunction = int (*)(const void* a, const void* b);
using SortFunction = void (*)(void* base, size_t count, size_t width, CompareItemsFunction compare);

struct TextOrder {
  CompareNoCaseFunction compareNoCase = nullptr;
  SortFunction sort = nullptr;
};

// Null until the host layer installs its functions.
extern TextOrder HostTextOrder;

}  // namespace tags
