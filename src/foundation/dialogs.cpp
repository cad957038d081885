#include "foundation/dialogs.h"

#include "platform/ui_bridge.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

const TMsgButtonInfo MessageButtonInfo[MessageButtonCount] = {
    {"Yes", "&Yes", mrYes},
    {"No", "&No", mrNo},
    {"OK", "OK", mrOk},
    {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},
    {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll},
    {"Not to All", "&Not to All", mrNoToAll},
    {"Yes to All", "&Yes to All", mrYesToAll},
    {"Help", "&Help", mrNone},
};

std::string ApplicationTitle = "Quillmar Pro";

std::string MessageCaption(TMsgDlgType kind)
{
  switch (kind) {
  case mtWarning: return "Warning";
  case mtError: return "Error";
  case mtInformation: return "Information";
  case mtConfirmation: return "Confirm";
  default: return ApplicationTitle;
  }
}

int DefaultMessageButton(TMsgDlgButtons buttons)
{
  for (TMsgDlgBtn b : {mbOK, mbYes, mbRetry})
    if (buttons & Btn(b))
      return b;
  return -1;
}

int CancelMessageButton(TMsgDlgButtons buttons)
{
  for (TMsgDlgBtn b : {mbAbort, mbCancel, mbNo, mbOK})
    if (buttons & Btn(b))
      return b;
  return -1;
}

// --- progress --------------------------------------------------------------------

namespace {

// Live progress dialogs, oldest first (user-interface thread only).
std::vector<ProgressDialog*>& liveProgressDialogs()
{
  static std::vector<ProgressDialog*> list;
  return list;
}

}  // namespace

ProgressDialog::ProgressDialog(bool multiFile) : multiFile_(multiFile), specialTextVisible_(!multiFile)
{
  liveProgressDialogs().push_back(this);
}

ProgressDialog::~ProgressDialog()
{
  auto& list = liveProgressDialogs();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

ProgressDialog* ProgressDialog::Topmost()
{
  auto& list = liveProgressDialogs();
  return list.empty() ? nullptr : list.back();
}

int ProgressDialog::poll()
{
  platform::uiBridge().processMessages();
  return tag_;
}

int ProgressDialog::PercentOf(int64_t value, int64_t max)
{
  if (max <= 0 || value <= 0)
    return 0;
  if (value >= max)
    return 100;
  return int(value / double(max) * 100.0);
}

void ProgressDialog::SetCaption(std::string_view text)
{
  caption_ = text;
  OnChanged(ProgressField::Caption);
}

void ProgressDialog::SetProgressLabel(std::string_view text)
{
  progressLabel_ = text;
  OnChanged(ProgressField::ProgressLabel);
}

void ProgressDialog::SetSpecialText(std::string_view text)
{
  specialText_ = text;
  OnChanged(ProgressField::SpecialText);
}

void ProgressDialog::SetSpecialTextVisible(bool visible)
{
  specialTextVisible_ = visible;
  OnChanged(ProgressField::SpecialText);
}

void ProgressDialog::SetMaxValue(int64_t value)
{
  maxValue_ = value;
  OnChanged(ProgressField::Gauge);
}

void ProgressDialog::SetProgress(int64_t value)
{
  progress_ = value;
  OnChanged(ProgressField::Gauge);
}

void ProgressDialog::Show()
{
  visible_ = true;
  OnChanged(ProgressField::Visible);
}

void ProgressDialog::Hide()
{
  visible_ = false;
  OnChanged(ProgressField::Visible);
}

DoubleProgressDialog::DoubleProgressDialog() : ProgressDialog(false) {}

void DoubleProgressDialog::SetSubProgressLabel(std::string_view text)
{
  subProgressLabel_ = text;
  OnChanged(ProgressField::SubProgressLabel);
}

void DoubleProgressDialog::SetSubMaxValue(int64_t value)
{
  subMaxValue_ = value;
  OnChanged(ProgressField::SubGauge);
}

void DoubleProgressDialog::SetSubProgress(int64_t value)
{
  subProgress_ = value;
  OnChanged(ProgressField::SubGauge);
}

void DoubleProgressDialog::SetActionLabel(std::string_view text)
{
  actionLabel_ = text;
  OnChanged(ProgressField::ActionLabel);
}

void DoubleProgressDialog::SetDetailsButtonVisible(bool visible)
{
  detailsButtonVisible_ = visible;
  OnChanged(ProgressField::DetailsButton);
}

void DoubleProgressDialog::SetSearchInfo(SearchInfoField field, std::string_view text)
{
  info_[int(field)] = text;
  OnChanged(ProgressField::SearchInfo);
}

void DoubleProgressDialog::SetPanelVisible(SearchInfoPanel panel, bool visible)
{
  panels_[int(panel)] = visible;
  OnChanged(ProgressField::Panels);
}

void DoubleProgressDialog::SetDetailsShown(bool shown)
{
  detailsShown_ = shown;
  OnChanged(ProgressField::Panels);
}

// --- the service ----------------------------------------------------------------

std::unique_ptr<ProgressDialog> DialogService::CreateProgressForm(bool multiFile)
{
  return std::make_unique<ProgressDialog>(multiFile);
}

std::unique_ptr<DoubleProgressDialog> DialogService::CreateDoubleProgressForm()
{
  return std::make_unique<DoubleProgressDialog>();
}

namespace {

class HeadlessDialogs final : public DialogService {
public:
  int ShowMessageBox(const MessageBoxRequest& r) override
  {
    std::fprintf(stderr, "[%s] %s\n", MessageCaption(r.Kind).c_str(), r.Message.c_str());
    int b = CancelMessageButton(r.Buttons);
    return b < 0 ? mrCancel : MessageButtonInfo[b].ModalResult;
  }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string& text) override
  {
    text.clear();
    return false;
  }
};

HeadlessDialogs headlessDialogs;
DialogService* installedDialogs = nullptr;
std::function<void(int)> helpHook;

// Runs fn on the user-interface thread.
template <typename Fn>
auto onUiThread(Fn fn) -> decltype(fn())
{
  platform::UiBridge& bridge = platform::uiBridge();
  if (bridge.isUiThread())
    return fn();
  decltype(fn()) result{};
  bridge.synchronize([&] { result = fn(); });
  return result;
}

}  // namespace

DialogService& dialogService()
{
  return installedDialogs ? *installedDialogs : headlessDialogs;
}

DialogService* SetDialogService(DialogService* service)
{
  DialogService* old = installedDialogs;
  installedDialogs = service;
  return old;
}

void SetHelpHook(std::function<void(int)> hook)
{
  helpHook = std::move(hook);
}

void ShowHelp(int helpContext)
{
  if (helpHook)
    helpHook(helpContext);
}

int ShowMessageBox(std::string_view message, TMsgDlgType kind, TMsgDlgButtons buttons, int y, int x,
                   int helpContext, TMsgDlgBtn focused)
{
  MessageBoxRequest r;
  r.Message = message;
  r.Kind = kind;
  r.Buttons = buttons;
  r.Y = y;
  r.X = x;
  r.HelpContext = helpContext;
  r.Focused = focused;
  return onUiThread([&] { return dialogService().ShowMessageBox(r); });
}

bool ConfirmOkCancel(std::string_view message, bool defaultOk)
{
  return ShowMessageBox(message, mtConfirmation, Btn(mbOK) | Btn(mbCancel), -1, -1, 0,
                        defaultOk ? mbOK : mbCancel) == mrOk;
}

bool ConfirmYesNo(std::string_view message, bool defaultYes)
{
  return ShowMessageBox(message, mtConfirmation, Btn(mbYes) | Btn(mbNo), -1, -1, 0,
                        defaultYes ? mbYes : mbNo) == mrYes;
}

bool WarnYesNo(std::string_view message, bool defaultYes)
{
  return ShowMessageBox(message, mtWarning, Btn(mbYes) | Btn(mbNo), -1, -1, 0,
                        defaultYes ? mbYes : mbNo) == mrYes;
}

void ShowWarning(std::string_view message)
{
  ShowMessageBox(message, mtWarning, Btn(mbOK), -1, -1, 0, mbOK);
}

void ShowError(std::string_view message)
{
  ShowMessageBox(message, mtError, Btn(mbOK), -1, -1, 0, mbOK);
}

void ShowInfo(std::string_view message)
{
  ShowMessageBox(message, mtInformation, Btn(mbOK), -1, -1, 0, mbOK);
}

bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font, std::string& text)
{
  return onUiThread([&] { return dialogService().QueryInput(caption, prompt, font, text); });
}

std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile)
{
  auto form = dialogService().CreateProgressForm(multiFile);
  form->SetTag(ProgressRunning);
  form->SetProgress(0);
  return form;
}

std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm()
{
  auto form = dialogService().CreateDoubleProgressForm();
  form->SetTag(ProgressRunning);
  form->SetProgress(0);
  form->SetSubProgress(0);
  return form;
}

ScopedHourglass::ScopedHourglass()
{
  platform::uiBridge().beginBusyCursor();
}

ScopedHourglass::~ScopedHourglass()
{
  platform::uiBridge().endBusyCursor();
}

// --- file names and character sets ----------------------------------------------

std::string MakeFileName(std::string_view fileName, std::string_view defaultExt)
{
  std::string folder;
  std::string name(fileName);
  if (auto slash = name.find_last_of('/'); slash != std::string::npos) {
    folder = name.substr(0, slash + 1);
    name.erase(0, slash + 1);
    std::error_code ec;
    std::string full = std::filesystem::absolute(folder, ec).lexically_normal().string();
    if (!ec)
      folder = full;
    while (folder.size() > 1 && folder.back() == '/')
      folder.pop_back();
    if (folder != "/")
      folder += '/';
  }
  std::string base = name;
  std::string ext(defaultExt);
  if (auto dot = name.find('.'); dot != std::string::npos) {
    base = name.substr(0, dot);
    ext = name.substr(dot + 1);
  }
  static const TCharSet forbidden = CharSetOf("\"*/:<>?\\|");
  DeleteChars(base, forbidden);
  if (!ext.empty())
    base += "." + ext;
  return folder + base;
}

void CutToken(std::string& text, const TCharSet& set, std::string& token)
{
  for (size_t i = 0; i < text.size(); ++i) {
    if (set.test(uint8_t(text[i]))) {
      token = text.substr(0, i);
      text.erase(0, i + 1);
      return;
    }
  }
  token = std::move(text);
  text.clear();
}

void DeleteChars(std::string& text, const TCharSet& set)
{
  std::erase_if(text, [&](char c) { return set.test(uint8_t(c)); });
}

TCharSet CharSetOf(std::string_view text)
{
  TCharSet set;
  for (char c : text)
    set.set(uint8_t(c));
  return set;
}

int32_t DigitCount(int32_t value, int32_t base)
{
  if (base < 2)
    base = 10;
  uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
  int32_t digits = 1;
  while (magnitude >= uint32_t(base)) {
    magnitude /= uint32_t(base);
    ++digits;
  }
  return digits;
}

void TraceCall(std::string_view text)
{
  (void)text;
}
