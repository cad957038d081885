// The Qt forms behind the core's message, input and progress functions.
// Create it after the QApplication and install it; it uninstalls itself when
// destroyed.
#pragma once

#include "foundation/dialogs.h"

class QtDialogService final : public DialogService
{
public:
  QtDialogService() = default;
  ~QtDialogService() override;
  QtDialogService(const QtDialogService&) = delete;
  QtDialogService& operator=(const QtDialogService&) = delete;

  void install();

  // Saves the override cursor and shows the normal one while the box is up.
  int ShowMessageBox(const MessageBoxRequest& request) override;
  bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font,
                  std::string& text) override;
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override;
  std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm() override;

private:
  DialogService* previous_ = nullptr;
  bool installed_ = false;
};
