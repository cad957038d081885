// The search dialog without its form, for tests that run real searches
// through the frame: a script sets the controls, then OK (or, with Force,
// the request is taken unchecked).
#pragma once

#include "forms/search_dialog_model.h"
#include "workbench/dialogs/search_template_dlg.h"

#include <functional>

namespace frametest {

class ScriptedSearch : public TSearchDialogView {
public:
  int ShowModal() override
  {
    TSearchTemplateModel& m = SearchTemplateDlg->Model();
    Fill(m);
    if (Force) {
      m.ModalResult = mrOk;
      return mrOk;
    }
    return m.OKBtnClick().Close ? mrOk : mrCancel;
  }
  std::function<void(TSearchTemplateModel&)> Fill = [](TSearchTemplateModel&) {};
  bool Force = false;
};

}  // namespace frametest
