// The terminal driver: plays the host's side for a person at a terminal.
// Menus, dialogs (through the dialog engine), messages, input boxes and the
// help window are drawn over the screen's background (the file panel) and the
// boxes left on it; the editor is the user's $EDITOR.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/driver.h"
#include "hostsim/terminal/canvas.h"
#include "hostsim/terminal/help_file.h"
#include "hostsim/terminal/layout.h"
#include "hostsim/terminal/term_keys.h"

namespace hostsim {
class Host;
class PluginModule;
}  // namespace hostsim

namespace hostsim::terminal {

class Screen;

class TerminalDriver : public Driver {
 public:
  using Layer = std::function<void(Canvas&)>;

  TerminalDriver(Host& host, Screen& screen, const PluginModule& module);
  ~TerminalDriver() override;

  MenuAnswer Menu(const MenuRequest& menu) override;
  void RunDialog(DialogEngine& dialog) override;
  int Message(const MessageRequest& message) override;
  InputBoxAnswer InputBox(const InputBoxRequest& box) override;
  EditorAnswer Editor(const EditorRequest& editor) override;
  void ScreenChanged() override { Redraw(); }

  // What lies under every window: the panel.
  void SetBackground(Layer layer) { background_ = std::move(layer); }
  void Redraw();
  KeyEvent ReadKey();

  // A menu of the host's own (plug-in commands, configuration): the chosen
  // item or -1.
  int HostMenu(const std::string& title, const std::vector<std::string>& items,
               const std::string& helpTopic);
  // A message of the host's own with one OK button.
  void Notice(const std::string& title, const std::vector<std::string>& lines, bool warning);
  // The help window on `topic` of the plug-in's help file.
  void ShowHelp(const std::string& topic);

 private:
  // Keeps a window drawn while it is open.
  class LayerScope {
   public:
    LayerScope(TerminalDriver& d, Layer layer) : d_(d) { d_.layers_.push_back(std::move(layer)); }
    ~LayerScope() { d_.layers_.pop_back(); }
    LayerScope(const LayerScope&) = delete;
    LayerScope& operator=(const LayerScope&) = delete;

   private:
    TerminalDriver& d_;
  };
  // The dialog loop; `arrowsMoveFocus` makes Left and Right step through the
  // buttons as in messages.
  void RunEngine(DialogEngine& dialog, bool arrowsMoveFocus);
  int PickFromList(const std::vector<std::string>& entries, int current);
  // The plug-in's help file in the chosen language (else English) beside the
  // module, with the host's own topic added; the host's topic alone without one.
  const HelpFile* LoadHelp();

  Host& host_;
  Screen& screen_;
  const PluginModule& module_;
  Layer background_;
  std::vector<Layer> layers_;
  std::unique_ptr<HelpFile> help_;
};

// The items of the message window for `message`: a frame with the title,
// the lines (wrapped to `maxWidth`), the buttons centred on the last line.
// `firstButton` gets the index of the first button item.
struct MessageDialog {
  int width = 0, height = 0;
  std::vector<FarDialogItem> items;
  int firstButton = 0;
};
MessageDialog BuildMessageDialog(const MessageRequest& message, int maxWidth);

}  // namespace hostsim::terminal
