#include "hostsim/terminal/help_view.h"

#include <algorithm>

#include "hostsim/host_text.h"

namespace hostsim::terminal {

bool HelpView::Open(const std::string& name) {
  const HelpTopic* t = file_.Find(name);
  if (t == nullptr) return false;
  topic_ = t;
  scroll_ = 0;
  CollectLinks();
  link_ = links_.empty() ? -1 : 0;
  return true;
}

void HelpView::CollectLinks() {
  links_.clear();
  for (int l = 0; l < static_cast<int>(topic_->body.size()); ++l) {
    const auto& spans = topic_->body[l].spans;
    for (int s = 0; s < static_cast<int>(spans.size()); ++s) {
      if (spans[s].kind == HelpSpan::Link && !spans[s].target.empty()) links_.push_back({l, s});
    }
  }
}

std::string HelpView::focusedTarget() const {
  if (topic_ == nullptr || link_ < 0) return std::string();
  const LinkPos& p = links_[link_];
  return topic_->body[p.line].spans[p.span].target;
}

void HelpView::ShowLink() {
  if (link_ < 0) return;
  int line = links_[link_].line;
  if (line < scroll_) scroll_ = line;
  if (line >= scroll_ + rows_) scroll_ = line - rows_ + 1;
}

void HelpView::Follow() {
  std::string target = focusedTarget();
  if (target.empty() || file_.Find(target) == nullptr) return;
  history_.push_back({topic_->name, scroll_, link_});
  Open(target);
}

bool HelpView::Key(const KeyEvent& k) {
  if (topic_ == nullptr) return false;
  int lines = static_cast<int>(topic_->body.size());
  int maxScroll = std::max(0, lines - rows_);
  switch (k.kind) {
    case KeyEvent::Esc:
      return false;
    case KeyEvent::Function:
      if (k.fn == 10) return false;
      break;
    case KeyEvent::Tab:
    case KeyEvent::Right:
    case KeyEvent::Left:
      if (!links_.empty()) {
        int step = (k.kind == KeyEvent::Left || k.shift) ? -1 : 1;
        int n = static_cast<int>(links_.size());
        link_ = ((link_ < 0 ? 0 : link_ + step) % n + n) % n;
        ShowLink();
      }
      break;
    case KeyEvent::Enter:
      Follow();
      break;
    case KeyEvent::Backspace:
      if (!history_.empty()) {
        Place p = history_.back();
        history_.pop_back();
        Open(p.topic);
        scroll_ = p.scroll;
        link_ = p.link < static_cast<int>(links_.size()) ? p.link : -1;
      }
      break;
    case KeyEvent::Up: scroll_ = std::max(0, scroll_ - 1); break;
    case KeyEvent::Down: scroll_ = std::min(maxScroll, scroll_ + 1); break;
    case KeyEvent::PgUp: scroll_ = std::max(0, scroll_ - rows_); break;
    case KeyEvent::PgDn: scroll_ = std::min(maxScroll, scroll_ + rows_); break;
    case KeyEvent::Home: scroll_ = 0; break;
    case KeyEvent::End: scroll_ = maxScroll; break;
    default: break;
  }
  // The focus stays on a link that can be seen.
  if (link_ >= 0) {
    int line = links_[link_].line;
    if (line < scroll_ || line >= scroll_ + rows_) {
      for (int i = 0; i < static_cast<int>(links_.size()); ++i) {
        if (links_[i].line >= scroll_ && links_[i].line < scroll_ + rows_) {
          link_ = i;
          break;
        }
      }
    }
  }
  return true;
}

void HelpView::Draw(Canvas& c) {
  if (topic_ == nullptr) return;
  // As wide as the topic's longest line needs, within the screen.
  int longest = HostColumns(topic_->title) + 4;
  for (const auto& l : topic_->header) longest = std::max(longest, HostColumns(PlainText(l)));
  for (const auto& l : topic_->body) longest = std::max(longest, HostColumns(PlainText(l)));
  int windowWidth = std::clamp(longest + 4, std::min(60, c.width()), c.width());
  int x1 = (c.width() - windowWidth) / 2, y1 = 0, x2 = x1 + windowWidth - 1, y2 = c.height() - 1;
  c.Window(x1, y1, x2, y2, Style::Dialog);
  c.Frame(x1, y1, x2, y2, true, Style::Dialog, topic_->title);
  c.HideCursor();
  int textLeft = x1 + 2, width = x2 - x1 - 3;
  int y = y1 + 1;
  auto drawLine = [&](const HelpLine& line, int row, int lineIndex) {
    int x = textLeft;
    if (line.centred) x += std::max(0, (width - HostColumns(PlainText(line))) / 2);
    for (int s = 0; s < static_cast<int>(line.spans.size()); ++s) {
      const HelpSpan& span = line.spans[s];
      Style st = span.kind == HelpSpan::Bold ? Style::Bold : Style::Dialog;
      if (span.kind == HelpSpan::Link) {
        bool focused = link_ >= 0 && links_[link_].line == lineIndex && links_[link_].span == s;
        st = focused ? Style::LinkFocused : Style::Link;
        if (focused) c.SetCursor(x, row);
      }
      int room = textLeft + width - x;
      if (room <= 0) break;
      x += c.Text(x, row, span.text, st, room);
    }
  };
  // The header lines other than the title stay above the text.
  for (size_t h = 1; h < topic_->header.size() && y < y2; ++h) drawLine(topic_->header[h], y++, -1);
  if (topic_->header.size() > 1 && y < y2) c.Separator(x1, x2, y++, true, false, Style::Dialog);
  rows_ = std::max(1, y2 - y);
  int lines = static_cast<int>(topic_->body.size());
  scroll_ = std::clamp(scroll_, 0, std::max(0, lines - rows_));
  for (int r = 0; r < rows_ && scroll_ + r < lines; ++r) drawLine(topic_->body[scroll_ + r], y + r, scroll_ + r);
  if (scroll_ > 0) c.Put(x2, y, U'▲', Style::Dialog);
  if (scroll_ + rows_ < lines) c.Put(x2, y2 - 1, U'▼', Style::Dialog);
}

}  // namespace hostsim::terminal
