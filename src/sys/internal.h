// Shared by the two implementations of the system layer; not for callers.
#pragma once

#include <string>
#include <vector>

#include "sys/sys.h"

namespace sys::detail {

// Counts one file operation; true when fault injection says it must fail (the
// last error is then already set to ERROR_WRITE_FAULT).
bool InjectFault();

// Several copies of this layer may live in one process (the host program's
// and the plug-in module's). One copy publishes the address of its state in
// the process's environment under `variable`, tagged with the process id so
// that a child process never trusts an inherited address; the others find it.
void PublishAddress(const char* variable, void* address);
// The address published in this process, or null.
void* FindPublishedAddress(const char* variable);

// The notes of NoteWritten (written.cpp): taken all at once by SyncWritten,
// carried over by a rename, dropped by a deletion.
std::vector<std::string> TakeWritten();
void MoveWritten(const std::string& from, const std::string& to);
void ForgetWritten(const std::string& path);
// Adds `path` with LastError() to `failures` (may be null) unless it is there.
void AddSyncFailure(std::vector<SyncFailure>* failures, const std::string& path);

}  // namespace sys::detail
