#include "host/plugin_state.h"

#include "host/operations.h"

namespace host {

std::string UserKey;
const char* MenuTitle = "";

std::string ProcessExt;
std::string ExcludeExt;
bool ResetCounter = false;

std::string LastDir;

Operation Mode = Operation::ShowInfo;
int Counter = 0;
int Total = 0;
bool Interactive = true;

InformationView FileInformationView;

}  // namespace host
