// Shared by the two implementations of the system layer; not for callers.
#pragma once

namespace sys::detail {

// Counts one file operation; true when fault injection says it must fail (the
// last error is then already set to ERROR_WRITE_FAULT).
bool InjectFault();

}  // namespace sys::detail
