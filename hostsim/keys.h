// Key names for scripts and for FarKeyToName / FarNameToKey: "Down", "Enter",
// "F6", "CtrlUp" (also written "Ctrl-Up" or "Ctrl+Up"), "ShiftTab", a single
// character of the host's text (its key code, host_text.h), or a number such
// as 0x128. Names are the host's text. Host key codes are the codes of DN_KEY
// and ACTL_POSTKEYSEQUENCE; menu break keys are Windows virtual keys with the
// PKF_ modifiers in the high word.
#pragma once

#include <string>

#include "far/plugin_api.h"

namespace hostsim {

bool ParseKeyName(const std::string& name, DWORD* key);
std::string KeyName(DWORD key);

// The menu break key of a host key (virtual key | PKF_ << 16).
bool KeyToBreakKey(DWORD key, int* breakKey);
std::string BreakKeyName(int breakKey);

}  // namespace hostsim
