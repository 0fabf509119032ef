// CDialog and CDataExchange. The dialog procedure is a plain function, so the dialog object is
// found through the handle: kWM_INITDIALOG carries the object, and a per-thread table (windows
// never change threads) keeps it for the later messages.
#include "tethra/app/framework/Dialog.h"

#include <map>

namespace tethra::app {

using platform::Hwnd;
using platform::LResult;

namespace {

// Dialogs alive on this thread. Only the thread that created a dialog ever runs its procedure.
thread_local std::map<Hwnd, CDialog*>* t_dialogs = nullptr;

std::map<Hwnd, CDialog*>& Dialogs() {
  if (t_dialogs == nullptr) t_dialogs = new std::map<Hwnd, CDialog*>();  // lives as long as the thread
  return *t_dialogs;
}

}  // namespace

void CDataExchange::Control(int id, CWnd& control) const {
  control.Attach(m_Windows, m_Windows.getDlgItem(m_Dialog, id));
}

CDialog::CDialog(platform::IWindowSystem& windows, int templateId) : m_TemplateId(templateId) {
  m_Windows = &windows;
}

std::intptr_t CDialog::DoModal() {
  const std::intptr_t result =
      Windows().dialogBoxParam(m_TemplateId, nullptr, &CDialog::DialogProc, reinterpret_cast<LParam>(this));
  if (m_Hwnd != nullptr) Dialogs().erase(m_Hwnd);
  return result;
}

void CDialog::EndDialog(std::intptr_t result) const { Windows().endDialog(m_Hwnd, result); }

bool CDialog::OnInitDialog() {
  CDataExchange exchange(Windows(), m_Hwnd);
  DoDataExchange(&exchange);
  return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

LResult CDialog::WindowProc(std::uint32_t message, WParam wParam, LParam lParam) {
  LResult result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = Default();
  return result;
}

bool CDialog::OnWndMsg(std::uint32_t message, WParam wParam, LParam, LResult* result) {
  if (message == platform::kWM_INITDIALOG) {
    *result = OnInitDialog() ? 1 : 0;
    return true;
  }
  if (message == platform::kWM_COMMAND && (wParam >> 16) == platform::kBN_CLICKED) {
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id == kIDOK) {
      OnOK();
      return true;
    }
    if (id == kIDCANCEL) {
      OnCancel();
      return true;
    }
  }
  return false;
}

void CDialog::OnOK() { EndDialog(kIDOK); }
void CDialog::OnCancel() { EndDialog(kIDCANCEL); }

LResult CDialog::Default() {
  // The dialog procedure answers "not handled": the window system's dialog manager then does
  // its default handling once the procedure has returned.
  m_UseDefault = true;
  return 0;
}

std::intptr_t CDialog::DialogProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
  CDialog* dialog = nullptr;
  auto it = Dialogs().find(hwnd);
  if (message == platform::kWM_INITDIALOG) {
    // Only the window system's own first WM_INITDIALOG carries the object; any later one (a
    // message posted by someone else) is not an initialisation and is ignored.
    if (it != Dialogs().end() || lParam == 0) return 0;
    dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_Hwnd = hwnd;
    Dialogs()[hwnd] = dialog;
  } else {
    if (it == Dialogs().end()) return 0;
    dialog = it->second;
  }
  const bool savedDefault = dialog->m_UseDefault;
  dialog->m_UseDefault = false;
  const LResult result = dialog->WindowProc(message, wParam, lParam);
  const bool useDefault = dialog->m_UseDefault;
  dialog->m_UseDefault = savedDefault;
  if (message == platform::kWM_INITDIALOG || message == platform::kWM_QUERYDRAGICON) return result;
  return useDefault ? 0 : 1;
}

}  // namespace tethra::app
