// Shared pieces of the word-list editor tests: a file chooser that is always
// cancelled, message and input boxes answered from a script, and the texts
// of a list box.
#pragma once

#include "foundation/dialogs.h"
#include "forms/stop_list_model.h"

#include <QListWidget>
#include <QStringList>

#include <deque>
#include <string>
#include <vector>

namespace wordlisttest {

class NoFiles : public TStopListFileChooser {
public:
  bool ChooseLoadFile(const std::string&, const std::string&, std::string&) override { return false; }
  bool ChooseSaveFile(const std::string&, const std::string&, std::string&) override { return false; }
};

// Input and confirmations from a script; no box is ever shown. A box beyond
// the script is cancelled.
class ScriptedDialogs : public DialogService {
public:
  ScriptedDialogs() : previous_(SetDialogService(this)) {}
  ~ScriptedDialogs() override { SetDialogService(previous_); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  int ShowMessageBox(const MessageBoxRequest& request) override
  {
    messages.push_back(request.Message);
    if (answers.empty())
      return mrCancel;
    const bool ok = answers.front();
    answers.pop_front();
    return ok ? mrOk : mrCancel;
  }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string& text) override
  {
    if (inputs.empty())
      return false;
    text = inputs.front();
    inputs.pop_front();
    return true;
  }

  std::deque<std::string> inputs;
  std::deque<bool> answers;  // true: OK
  std::vector<std::string> messages;

private:
  DialogService* previous_;
};

inline QStringList Items(const QListWidget* list)
{
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    items << list->item(i)->text();
  return items;
}

}  // namespace wordlisttest
