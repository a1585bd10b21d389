// The drawn popup menu's model: labels and mnemonics, rows, keyboard movement and on-screen placement.
#include "gui/popup_model.h"

#include <algorithm>
#include <cctype>

namespace Lattice {

void PopupModel::addItem(const char* text, int id, bool enabled, bool checked) {
  PopupItem item;
  item.id = id;
  item.enabled = enabled;
  item.checked = checked;
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '&' && p[1] == '&') {
      item.label += '&';
      ++p;
    } else if (*p == '&' && p[1]) {
      if (item.mnemonic < 0) item.mnemonic = int(item.label.size());
    } else if (*p != '&') {
      item.label += *p;
    }
  }
  items.push_back(item);
}

void PopupModel::addSeparator() {
  PopupItem item;
  item.separator = true;
  item.enabled = false;
  items.push_back(item);
}

void PopupModel::layout(int widestLabel) {
  int y = kBorder + 2;
  for (PopupItem& item : items) {
    item.top = y;
    item.height = item.separator ? kSeparatorHeight : kRowHeight;
    y += item.height;
  }
  width = kBorder * 2 + kMarkColumn + std::max(widestLabel, 40) + kRightMargin;
  height = y + 2 + kBorder;
}

bool PopupModel::choosable(int index) const {
  return index >= 0 && index < int(items.size()) && items[size_t(index)].enabled && !items[size_t(index)].separator;
}

int PopupModel::choosableAt(int x, int y) const {
  if (x < kBorder || x >= width - kBorder) return -1;
  for (size_t i = 0; i < items.size(); ++i)
    if (y >= items[i].top && y < items[i].top + items[i].height) return choosable(int(i)) ? int(i) : -1;
  return -1;
}

void PopupModel::moveHighlight(int step) {
  int count = int(items.size());
  if (count == 0) return;
  int start = highlighted >= 0 ? highlighted : (step > 0 ? -1 : count);
  for (int n = 1; n <= count; ++n) {
    int index = ((start + step * n) % count + count) % count;
    if (choosable(index)) {
      highlighted = index;
      return;
    }
  }
}

int PopupModel::itemForLetter(char letter) const {
  int wanted = std::tolower(static_cast<unsigned char>(letter));
  for (size_t i = 0; i < items.size(); ++i) {
    const PopupItem& item = items[i];
    if (item.mnemonic < 0 || !choosable(int(i))) continue;
    if (std::tolower(static_cast<unsigned char>(item.label[size_t(item.mnemonic)])) == wanted) return int(i);
  }
  return -1;
}

void placePopup(int ax, int ay, int alignment, int w, int h, int screenW, int screenH, int& left, int& top) {
  left = alignment == -1 ? ax : alignment == 1 ? ax - w : ax - w / 2;
  if (left + w > screenW && alignment == -1) left = ax - w;  // no room to the right: open to the left
  if (left < 0 && alignment == 1) left = ax;                 // no room to the left: open to the right
  top = ay;
  if (top + h > screenH) top = ay - h;  // no room below: open upwards
  left = std::max(0, std::min(left, screenW - w));
  top = std::max(0, std::min(top, screenH - h));
}

}  // namespace Lattice
