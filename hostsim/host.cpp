#include "hostsim/host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "hostsim/driver.h"
#include "hostsim/host_text.h"
#include "hostsim/platform.h"

namespace hostsim {

namespace {

Host* g_current = nullptr;

// A plug-in that keeps asking after every answer was Esc is stuck in a loop
// that the user could not leave either; the run cannot end.
constexpr long kMaxAnswersAfterFailure = 100000;

}  // namespace

Host::Host() {
  if (g_current != nullptr) {
    std::fputs("hostsim: a second host while one is current\n", stderr);
    std::abort();
  }
  g_current = this;
  // As the host does before it calls into a plug-in: file names are OEM text.
  platform::UseOemFileNames();
}

Host::~Host() { g_current = nullptr; }

Host& Host::Current() {
  if (g_current == nullptr) {
    std::fputs("hostsim: a host service was called without a current host\n", stderr);
    std::abort();
  }
  return *g_current;
}

bool Host::HasCurrent() { return g_current != nullptr; }

void Host::SetMessages(int moduleNumber, const std::string& fileName,
                       std::vector<std::string> messages) {
  texts_[moduleNumber] = ModuleTexts{fileName, std::move(messages)};
}

const char* Host::Message(int moduleNumber, int id) const {
  auto it = texts_.find(moduleNumber);
  if (it == texts_.end() || id < 0 || id >= static_cast<int>(it->second.messages.size())) {
    return nullptr;
  }
  return it->second.messages[id].c_str();
}

std::string Host::MessagesFile(int moduleNumber) const {
  auto it = texts_.find(moduleNumber);
  return it == texts_.end() ? std::string() : it->second.fileName;
}

void Host::Fail(const std::string& what) {
  if (failed()) return;
  failure_ = what;
  transcript_.Add("FAILED: " + what);
}

bool Host::AnswerWithEscape(const std::string& what) {
  if (!failed() && driver_ == nullptr) Fail("no driver to answer " + what);
  if (!failed()) return false;
  if (++answersAfterFailure_ > kMaxAnswersAfterFailure) {
    std::fprintf(stderr, "hostsim: %s\nhostsim: the plug-in keeps asking after %ld answers with Esc\n",
                 failure_.c_str(), kMaxAnswersAfterFailure);
    std::exit(3);
  }
  return true;
}

namespace {

// The lines of a box and the widest of them in characters, which decide the
// place it takes.
std::pair<size_t, size_t> BoxShape(const std::string& text) {
  size_t lines = 1, widest = 0, width = 0;
  for (size_t at = 0; at < text.size();) {
    if (NextHostChar(text, &at) == '\n') {
      ++lines;
      width = 0;
    } else {
      widest = std::max(widest, ++width);
    }
  }
  return {lines, widest};
}

}  // namespace

bool Host::ShowBox(const std::string& text) {
  if (!boxes_.empty() && boxes_.back() == text) return false;
  if (!boxes_.empty() && BoxShape(boxes_.back()) == BoxShape(text)) {
    boxes_.back() = text;
  } else {
    boxes_.push_back(text);
  }
  return true;
}

HANDLE Host::SaveScreen() {
  uintptr_t id = nextScreen_++;
  savedScreens_[id] = boxes_;
  return reinterpret_cast<HANDLE>(id);
}

bool Host::RestoreScreen(HANDLE screen) {
  auto it = savedScreens_.find(reinterpret_cast<uintptr_t>(screen));
  if (it == savedScreens_.end()) return false;
  boxes_ = it->second;
  savedScreens_.erase(it);
  return true;
}

void Host::PopDialog(DialogEngine* dialog) {
  auto it = std::find(dialogs_.begin(), dialogs_.end(), dialog);
  if (it != dialogs_.end()) dialogs_.erase(it);
}

DialogEngine* Host::FindDialog(HANDLE handle) const {
  for (DialogEngine* d : dialogs_) {
    if (static_cast<HANDLE>(d) == handle) return d;
  }
  return nullptr;
}

}  // namespace hostsim
