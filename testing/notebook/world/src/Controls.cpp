// Built-in behaviour of the dialog controls and the default window/dialog handling.
//
// Threads: runs on the owner thread of the window (deliver() guarantees it). String arguments
// are char16_t pointers into the caller's memory, which stays valid because a cross-thread
// sender blocks until the message is handled. Error results as the controls give them:
// CB_ERR / LB_ERR (-1) for a bad index or a missing string.
#include <algorithm>

#include "Format.h"
#include "Registry.h"
#include "WindowManager.h"
#include "WorldImpl.h"

namespace tethra::sim::detail {

using platform::ControlKind;
using platform::LParam;
using platform::LResult;
using platform::WParam;

namespace {

constexpr WParam kSC_CLOSE = 0xF060;
constexpr LResult kTRUE = 1;

const char16_t* textArg(LParam lParam) { return reinterpret_cast<const char16_t*>(lParam); }

// Copies `text` and a terminator into `buffer` when given; returns the characters copied.
LResult CopyText(const std::u16string& text, LParam buffer, std::size_t room) {
  auto* out = reinterpret_cast<char16_t*>(buffer);
  if (out == nullptr || room == 0) return 0;
  const std::size_t n = std::min(text.size(), room - 1);
  std::copy_n(text.begin(), n, out);
  out[n] = u'\0';
  return static_cast<LResult>(n);
}

// Sorted lists order their items case-insensitively; an equal item goes after the ones there.
LResult AddItem(Window& w, LParam lParam) {
  const char16_t* text = textArg(lParam);
  if (text == nullptr) return -1;
  Window::Item item{text, 0};
  auto at = w.items.end();
  if (w.sorted) {
    const std::u16string key = RegistryStore::fold(item.text);
    at = std::upper_bound(w.items.begin(), w.items.end(), key, [](const std::u16string& k, const Window::Item& i) {
      return k < RegistryStore::fold(i.text);
    });
  }
  const auto index = at - w.items.begin();
  w.items.insert(at, std::move(item));
  if (w.cursel >= index) ++w.cursel;
  return index;
}

bool ValidIndex(const Window& w, WParam index) { return index < w.items.size(); }

// An item's text and its length, as a combo box and a list box both give them; `error` (their
// own CB_ERR, LB_ERR) for an index past the end.
LResult itemText(const Window& w, WParam index, LParam buffer, LResult error) {
  if (!ValidIndex(w, index)) return error;
  return CopyText(w.items[index].text, buffer, w.items[index].text.size() + 1);
}
LResult itemTextLength(const Window& w, WParam index, LResult error) {
  return ValidIndex(w, index) ? static_cast<LResult>(w.items[index].text.size()) : error;
}

LResult ComboMessage(Window& w, std::uint32_t message, WParam wParam, LParam lParam, bool& handled) {
  handled = true;
  switch (message) {
    case platform::kCB_ADDSTRING: return AddItem(w, lParam);
    case platform::kCB_GETCOUNT: return static_cast<LResult>(w.items.size());
    case platform::kCB_DELETESTRING: {
      if (!ValidIndex(w, wParam)) return platform::kCB_ERR;
      const auto index = static_cast<int>(wParam);
      w.items.erase(w.items.begin() + index);
      if (w.cursel == index) {
        w.cursel = -1;
      } else if (w.cursel > index) {
        --w.cursel;
      }
      return static_cast<LResult>(w.items.size());
    }
    case platform::kCB_SETCURSEL:
      // -1 clears the selection and still answers CB_ERR, as the control does.
      if (!ValidIndex(w, wParam)) {
        w.cursel = -1;
        return platform::kCB_ERR;
      }
      w.cursel = static_cast<int>(wParam);
      return w.cursel;
    case platform::kCB_GETCURSEL: return w.cursel >= 0 ? w.cursel : platform::kCB_ERR;
    case platform::kCB_SETITEMDATA:
      if (!ValidIndex(w, wParam)) return platform::kCB_ERR;
      w.items[wParam].data = lParam;
      return kTRUE;
    case platform::kCB_GETITEMDATA: return ValidIndex(w, wParam) ? w.items[wParam].data : platform::kCB_ERR;
    case platform::kCB_GETLBTEXT: return itemText(w, wParam, lParam, platform::kCB_ERR);
    case platform::kCB_GETLBTEXTLEN: return itemTextLength(w, wParam, platform::kCB_ERR);
    default: handled = false; return 0;
  }
}

LResult ListBoxMessage(Window& w, std::uint32_t message, WParam wParam, LParam lParam, bool& handled) {
  handled = true;
  switch (message) {
    case platform::kLB_ADDSTRING: return AddItem(w, lParam);
    case platform::kLB_RESETCONTENT:
      w.items.clear();
      w.cursel = -1;
      return 0;
    case platform::kLB_GETCOUNT: return static_cast<LResult>(w.items.size());
    case platform::kLB_GETTEXT: return itemText(w, wParam, lParam, platform::kLB_ERR);
    case platform::kLB_GETTEXTLEN: return itemTextLength(w, wParam, platform::kLB_ERR);
    default: handled = false; return 0;
  }
}

}  // namespace

LResult WindowManager::controlProc(Window& w, std::uint32_t message, WParam wParam, LParam lParam) {
  bool handled = false;
  LResult r = 0;
  switch (w.control) {
    case ControlKind::ComboBox: r = ComboMessage(w, message, wParam, lParam, handled); break;
    case ControlKind::ListBox: r = ListBoxMessage(w, message, wParam, lParam, handled); break;
    case ControlKind::Edit:
      if (message == platform::kEM_LIMITTEXT) {
        w.textLimit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
        return 0;
      }
      if (message == platform::kEM_GETLIMITTEXT) return w.textLimit;
      break;
    case ControlKind::Button:
    case ControlKind::CheckBox:
      if (message == platform::kBM_SETCHECK) {
        w.check = wParam;
        return 0;
      }
      if (message == platform::kBM_GETCHECK) return static_cast<LResult>(w.check);
      if (message == kBM_CLICK) {
        const bool active = w.enabled && (w.parent == nullptr || w.parent->enabled);
        if (!active) return 0;
        if (w.control == ControlKind::CheckBox) {
          w.check = w.check == platform::kBST_CHECKED ? platform::kBST_UNCHECKED : platform::kBST_CHECKED;
        }
        if (w.parent != nullptr) {
          const WParam command = (static_cast<WParam>(platform::kBN_CLICKED) << 16) |
                                 (static_cast<WParam>(w.ctrlId) & 0xFFFF);
          send(*w.parent, platform::kWM_COMMAND, command, static_cast<LParam>(w.id));
        }
        return 0;
      }
      break;
    case ControlKind::ListView:
      if (message == platform::kLVM_GETITEMCOUNT) return 0;  // the device list never holds items
      if (message == platform::kLVM_SETIMAGELIST) {
        const auto previous = reinterpret_cast<LResult>(w.imageList);
        w.imageList = reinterpret_cast<platform::Himagelist>(lParam);
        return previous;
      }
      if (message == platform::kLVM_GETIMAGELIST) return reinterpret_cast<LResult>(w.imageList);
      break;
    case ControlKind::Static:
    case ControlKind::Icon:
      break;
  }
  if (handled) return r;
  return defaultProc(w, message, wParam, lParam);
}

LResult WindowManager::defaultProc(Window& w, std::uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case platform::kWM_SETTEXT: {
      const char16_t* text = textArg(lParam);
      w.text = text != nullptr ? text : u"";
      m_World.trace("text of " + Hex(w.id) + " = " + Quoted(w.text));
      return kTRUE;
    }
    case platform::kWM_GETTEXT: return CopyText(w.text, lParam, wParam);
    case platform::kWM_GETTEXTLENGTH: return static_cast<LResult>(w.text.size());
    case platform::kWM_PAINT: w.needsPaint = false; return 0;
    case platform::kWM_SETICON: {
      auto& slot = w.icons[wParam == platform::kICON_BIG ? 1 : 0];
      const auto previous = reinterpret_cast<LResult>(slot);
      slot = reinterpret_cast<platform::Hicon>(lParam);
      return previous;
    }
    case platform::kWM_CLOSE:
      // The dialog manager turns a close into a click on Cancel.
      if (w.kind == WindowKind::Dialog) {
        postTo(w, platform::kWM_COMMAND, static_cast<WParam>(kIDCANCEL), 0);
      } else if (w.kind == WindowKind::Machine) {
        destroy(w);
      }
      return 0;
    case platform::kWM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kSC_CLOSE) send(w, platform::kWM_CLOSE, 0, 0);
      return 0;
    case platform::kWM_QUERYENDSESSION: return kTRUE;
    default: return 0;
  }
}

}  // namespace tethra::sim::detail
