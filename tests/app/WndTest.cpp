// A window object not bound to a window yet (a control before the dialog's data exchange)
// must do nothing: a close can reach the dialog while it is still being set up.
#include <gtest/gtest.h>

#include "tethra/app/framework/Wnd.h"

namespace tethra::app {
namespace {

TEST(CWndTest, UnboundObjectsDoNothingAndAnswerZero) {
  CListBox log;
  CEdit edit;
  CComboBox combo;
  EXPECT_FALSE(log.Bound());
  EXPECT_EQ(log.AddString(u"Sent message to Pelto"), 0);
  log.ResetContent();
  edit.SetWindowText(u"TethraNet");
  EXPECT_EQ(edit.GetWindowText(), u"");
  EXPECT_FALSE(edit.EnableWindow(true));
  EXPECT_EQ(edit.SetFocus(), nullptr);
  EXPECT_EQ(combo.GetCurSel(), 0);
  EXPECT_FALSE(combo.PostMessage(0x0010));
  EXPECT_FALSE(combo.ShowWindow(0));
}

}  // namespace
}  // namespace tethra::app
