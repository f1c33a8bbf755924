#include "hostsim/transcript.h"

#include <algorithm>

#include "hostsim/host_text.h"

namespace hostsim {

void Transcript::Add(const std::string& hostLine) {
  std::string line = hostLine;
  for (const auto& [prefix, placeholder] : substitutions_) {
    for (size_t at = line.find(prefix); at != std::string::npos;
         at = line.find(prefix, at + placeholder.size())) {
      line.replace(at, prefix.size(), placeholder);
    }
  }
  lines_.push_back(HostToUtf8(line));
  if (echo_ != nullptr) {
    std::fputs(lines_.back().c_str(), echo_);
    std::fputc('\n', echo_);
    std::fflush(echo_);
  }
}

void Transcript::AddSubstitution(const std::string& hostPrefix, const std::string& name) {
  if (hostPrefix.empty()) return;
  std::string placeholder = "<" + name + ">";
  for (auto& s : substitutions_) {
    if (s.first == hostPrefix) {
      s.second = placeholder;
      return;
    }
  }
  substitutions_.emplace_back(hostPrefix, placeholder);
  // The longest prefix first, so that a folder inside another gets its own name.
  std::stable_sort(substitutions_.begin(), substitutions_.end(),
                   [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

std::string Transcript::Text(size_t from) const {
  std::string out;
  for (size_t i = from; i < lines_.size(); ++i) {
    out += lines_[i];
    out += '\n';
  }
  return out;
}

bool Transcript::Contains(const std::string& utf8, size_t from) const {
  for (size_t i = from; i < lines_.size(); ++i) {
    if (lines_[i].find(utf8) != std::string::npos) return true;
  }
  return false;
}

std::string Quote(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (unsigned char c : text) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace hostsim
