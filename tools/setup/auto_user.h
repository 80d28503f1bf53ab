// The person zarn-setup plays: a toolkit backend that shows nothing and acts on every
// window that waits for input, as someone installing with the defaults would, printing
// one line for every window, page, dialog and action.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>

#include "toolkit/headless/headless.h"

namespace zarn {
namespace setuptool {

struct Choices {
  bool act = false;            // --auto: install with the defaults; else close every window
  bool startGame = false;      // the start menu's game start instead of the installation
  std::string dir;             // destination typed into the wizard (Shift-JIS); empty: proposed
  bool componentsGiven = false;
  std::set<std::string> components;  // of "data", "sound", "movie"
  int discs = 0;               // 1: all discs, 2: this disc, 0: as proposed
  bool deleteSaves = false;
  std::string screenshots;     // host folder for PNG pictures of the windows; empty: none
};

class AutoUser : private TScriptedUser, public HeadlessBackend {
 public:
  AutoUser(const Choices& choices, std::ostream& out, TSize screen);

  // Converts the program's Shift-JIS texts for printing.
  std::function<std::string(const std::string&)> ToUtf8;
  // Called with the disc number when the wizard asks for another disc; true when the
  // disc was put in.
  std::function<bool(int disc)> InsertDisc;

  // What happened in the runs so far.
  bool ExitPageReached() const { return exitPageReached_; }
  bool Stuck() const { return stuck_; }

  std::unique_ptr<ControlPeer> CreatePeer(TControl& control) override;
  void RunModal(TForm& form) override;
  void ProcessMessages(TApplication& app) override;
  void Run(TApplication& app) override;
  int MessageDialog(TApplication& app, TMsgDlgType kind, const std::string& text, TMsgDlgButtons buttons) override;
  void ShowError(TApplication& app, const std::string& text) override;

 private:
  void Act(TForm& form);
  void ActOnStartMenu(TForm& form);
  void ActOnWizard(TForm& form);
  void Line(const std::string& text);
  void Screenshot(TForm& form, const std::string& what);
  std::string Text(const std::string& sjis) const;

  const Choices& choices_;
  std::ostream& out_;
  bool exitPageReached_ = false;
  bool stuck_ = false;
  bool abandoning_ = false;
  int shots_ = 0;
  std::map<TForm*, std::string> lastState_;
  std::string lastProgress_;
};

}  // namespace setuptool
}  // namespace zarn
