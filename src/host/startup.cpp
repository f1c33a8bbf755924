#include "host/startup.h"

#include <cstring>

#include "host/far_services.h"
#include "host/operations.h"
#include "host/plugin_state.h"
#include "sys/sys.h"
#include "tags/codepage.h"
#include "tags/text_order.h"
#include "views/file_info.h"

namespace host {

void TakeStartupInfo(const PluginStartupInfo* info) {
  if (info == nullptr) return;
  // Both tables are the host's temporary copies, valid only during this call.
  std::memcpy(&StartupInfo, info, sizeof(PluginStartupInfo));
  std::memset(&StandardFunctions, 0, sizeof(FarStandardFunctions));
  if (info->FSF != nullptr) {
    std::memcpy(&StandardFunctions, info->FSF, sizeof(FarStandardFunctions));
  }
  StartupInfo.FSF = &StandardFunctions;

  std::string farUser;
  UserKey = UserKeyFor(sys::GetEnv("FARUSER", &farUser) ? farUser.c_str() : nullptr);
  TakeHostText();
  ConnectLayers();
}

void TakeHostText() {
  // This module's copy of the system layer takes the process's environment
  // as it is now, as the host's copy did: both come to the same decision.
  sys::RereadCodePages();
  tags::HostCodePage.Kind =
      sys::HostTextIsUtf8() ? tags::CodePageKind::Utf8 : tags::CodePageKind::Oem;
}

void ConnectLayers() {
  tags::HostTextOrder.compareNoCase = &LStricmp;
  tags::HostTextOrder.sort = &QSort;
  FileInformationView.show = &views::ShowFileInfo;
  FileInformationView.askNoMore = &views::FileInfoAskNoMore;
}

std::string UserKeyFor(const char* farUser) {
  if (farUser == nullptr || *farUser == '\0') return std::string();
  if (std::strcmp(farUser, "FARUSER") == 0) return std::string();
  return std::string("Users\\") + farUser + "\\";
}

void DescribePlugin(PluginInfo* info) {
  if (info == nullptr) return;
  MenuTitle = GetMsg(0);
  // The size of the structure as this build lays it out: 44 on the host's
  // 32-bit layout.
  info->StructSize = static_cast<int>(sizeof(PluginInfo));
  info->PluginMenuStrings = &MenuTitle;
  info->PluginMenuStringsNumber = 1;
  info->PluginConfigStrings = &MenuTitle;
  info->PluginConfigStringsNumber = 1;
  info->CommandPrefix = "id3";
}

}  // namespace host
