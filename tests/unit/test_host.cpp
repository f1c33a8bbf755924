#include "test_host.h"

#include <cstring>

#include "host/far_services.h"
#include "host/startup.h"
#include "hostsim/dialog_engine.h"
#include "hostsim/driver.h"
#include "hostsim/host.h"
#include "hostsim/services.h"
#include "sys/sys.h"

// Last: its `far` macro would empty the dialog engine's item field.
#if defined(_WIN32)
#include <windows.h>
#endif

namespace testhost {

namespace {

TestHost* current = nullptr;

// Plays the user: messages are answered from the test's queue, every other
// interaction with Esc.
class QueueDriver : public hostsim::Driver {
 public:
  std::deque<int> answers;

  hostsim::MenuAnswer Menu(const hostsim::MenuRequest&) override { return {}; }
  void RunDialog(hostsim::DialogEngine& dialog) override { dialog.ForceClose(); }
  int Message(const hostsim::MessageRequest&) override {
    if (answers.empty()) return -1;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  hostsim::InputBoxAnswer InputBox(const hostsim::InputBoxRequest&) override { return {}; }
  hostsim::EditorAnswer Editor(const hostsim::EditorRequest&) override { return {}; }
};

}  // namespace

struct TestHost::State {
  hostsim::Host host;
  QueueDriver driver;
  FarStandardFunctions fsf{};
  // The stand-in's services the layer passes on to.
  FARAPIMESSAGE message = nullptr;
  FARAPIGETMSG getMsg = nullptr;
  FARAPICHARTABLE charTable = nullptr;
};

struct TestHost::Services {
  static const char* WINAPI GetMsg(int module, int msgId) {
    const char* text = current->state_->host.Message(module, msgId);
    const char* result = text != nullptr ? current->state_->getMsg(module, msgId) : "";
    if (current->getMsgError_) sys::SetLastError(*current->getMsgError_);
    return result;
  }

  static int WINAPI Message(int module, DWORD flags, const char* helpTopic,
                            const char* const* items, int itemsNumber, int buttonsNumber) {
    MessageCall call{flags, helpTopic != nullptr ? helpTopic : "", "", sys::LastError()};
    if ((flags & FMSG_ALLINONE) != 0) {
      call.text = reinterpret_cast<const char*>(items);
    } else {
      for (int i = 0; i < itemsNumber; ++i) {
        if (i > 0) call.text += '\n';
        call.text += items[i];
      }
    }
    current->messageCalls_.push_back(call);
    return current->state_->message(module, flags, helpTopic, items, itemsNumber, buttonsNumber);
  }

  static int WINAPI CharTable(int command, char* buffer, int bufferSize) {
    if (!current->tables_) return current->state_->charTable(command, buffer, bufferSize);
    const std::vector<CharTableSet>& tables = *current->tables_;
    if (command < 0 || static_cast<size_t>(command) >= tables.size()) return -1;
    if (bufferSize < static_cast<int>(sizeof(CharTableSet))) return -1;
    std::memcpy(buffer, &tables[static_cast<size_t>(command)], sizeof(CharTableSet));
    return command;
  }
};

TestHost::TestHost()
    : savedInfo_(host::StartupInfo),
      savedFunctions_(host::StandardFunctions),
      state_(std::make_unique<State>()) {
  current = this;
#if defined(_WIN32)
  // The stand-in takes OEM file names as the host does; the unit tests name
  // their files as the process started.
  SetFileApisToANSI();
#endif
  state_->host.SetDriver(&state_->driver);
  PluginStartupInfo& info = host::StartupInfo;
  hostsim::FillStartupInfo(&info, &state_->fsf, "test-host-module", kModuleNumber);
  state_->message = info.Message;
  state_->getMsg = info.GetMsg;
  state_->charTable = info.CharTable;
  info.Message = &Services::Message;
  info.GetMsg = &Services::GetMsg;
  info.CharTable = &Services::CharTable;
  host::StandardFunctions = state_->fsf;
  info.FSF = &host::StandardFunctions;
  // As the plug-in's start-up does once it holds the host's tables.
  host::ConnectLayers();
}

TestHost::~TestHost() {
  host::StartupInfo = savedInfo_;
  host::StandardFunctions = savedFunctions_;
  current = nullptr;
}

void TestHost::SetMessage(int id, const std::string& text) {
  if (id < 0) return;
  if (static_cast<size_t>(id) >= messages_.size()) messages_.resize(static_cast<size_t>(id) + 1);
  messages_[static_cast<size_t>(id)] = text;
  state_->host.SetMessages(kModuleNumber, "the test's texts", messages_);
}

void TestHost::QueueMessageAnswer(int button) { state_->driver.answers.push_back(button); }

void TestHost::SetCharTables(std::vector<CharTableSet> tables) { tables_ = std::move(tables); }

}  // namespace testhost
