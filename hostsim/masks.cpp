#include "hostsim/masks.h"

#include <cstring>
#include <unordered_map>

#include "hostsim/host_text.h"

namespace hostsim {

namespace {

// One token of a mask: '?', '*', a literal character or a class in brackets.
// Characters are those of the host's text (host_text.h), upper-cased.
struct Token {
  enum Kind { Any, Star, Literal, Class } kind;
  HostChar literal = 0;
  std::u32string set;  // Class: pairs of (first, last)
};

std::vector<Token> Tokenize(const std::string& mask) {
  const std::u32string chars = FoldedKey(mask);
  std::vector<Token> tokens;
  for (size_t i = 0; i < chars.size(); ++i) {
    const HostChar c = chars[i];
    if (c == '*') {
      // Consecutive stars mean the same as one.
      if (tokens.empty() || tokens.back().kind != Token::Star) tokens.push_back({Token::Star});
    } else if (c == '?') {
      tokens.push_back({Token::Any});
    } else if (c == '[' && chars.find(U']', i + 2) != std::u32string::npos) {
      // "[" followed by at least one character and a "]": a class. The
      // character right after "[" is always content, so "[]]" lists "]".
      const size_t close = chars.find(U']', i + 2);
      const std::u32string content = chars.substr(i + 1, close - i - 1);
      Token t{Token::Class};
      for (size_t k = 0; k < content.size(); ++k) {
        if (content[k] == ',') continue;
        const HostChar first = content[k];
        HostChar last = first;
        if (k + 2 < content.size() && content[k + 1] == '-' && content[k + 2] != ',') {
          last = content[k + 2];
          k += 2;
        }
        t.set.push_back(first);
        t.set.push_back(last);
      }
      tokens.push_back(t);
      i = close;
    } else {
      Token t{Token::Literal};
      t.literal = c;
      tokens.push_back(t);
    }
  }
  return tokens;
}

// `c` is upper-cased already.
bool TokenMatches(const Token& t, HostChar c) {
  switch (t.kind) {
    case Token::Any: return true;
    case Token::Literal: return t.literal == c;
    case Token::Class:
      for (size_t k = 0; k + 1 < t.set.size(); k += 2) {
        if (c >= t.set[k] && c <= t.set[k + 1]) return true;
      }
      return false;
    case Token::Star: break;
  }
  return false;
}

// Every token but '*' takes exactly one character, so one remembered star
// position suffices for backtracking. `name` holds the name's characters,
// upper-cased.
bool MatchTokens(const std::vector<Token>& tokens, const std::u32string& name) {
  // "*" then literal characters (an extension's mask): the end of the name.
  if (!tokens.empty() && tokens[0].kind == Token::Star) {
    size_t literals = 0;
    while (1 + literals < tokens.size() && tokens[1 + literals].kind == Token::Literal) ++literals;
    if (1 + literals == tokens.size()) {
      if (name.size() < literals) return false;
      const size_t from = name.size() - literals;
      for (size_t i = 0; i < literals; ++i)
        if (!TokenMatches(tokens[1 + i], name[from + i])) return false;
      return true;
    }
  }
  size_t t = 0, n = 0;
  size_t starToken = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (t < tokens.size() && tokens[t].kind == Token::Star) {
      starToken = t++;
      starName = n;
    } else if (t < tokens.size() && TokenMatches(tokens[t], name[n])) {
      ++t;
      ++n;
    } else if (starToken != std::string::npos) {
      t = starToken + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (t < tokens.size() && tokens[t].kind == Token::Star) ++t;
  return t == tokens.size();
}

// A mask's tokens, and without a dot in the mask those of the mask with ".*"
// added; made once per mask, since a walk matches every name against the
// same few masks. The tokens hold characters of the host's text as it was
// when they were made.
struct CompiledMask {
  std::vector<Token> tokens;
  std::vector<Token> withExtension;
  bool hasDot = false;
  bool utf8 = false;
};

const CompiledMask& Compile(const std::string& mask) {
  thread_local std::unordered_map<std::string, CompiledMask> compiled;
  // A walk asks about every name with the same mask.
  thread_local const std::pair<const std::string, CompiledMask>* last = nullptr;
  const bool utf8 = HostSpeaksUtf8();
  if (last != nullptr && last->first == mask && last->second.utf8 == utf8) return last->second;
  auto found = compiled.find(mask);
  if (found != compiled.end() && found->second.utf8 == utf8) {
    last = &*found;
    return found->second;
  }
  if (compiled.size() >= 64) {  // bounded: masks typed in a session
    compiled.clear();
    last = nullptr;
  }
  auto madeAt = compiled.insert_or_assign(mask, CompiledMask()).first;
  last = &*madeAt;
  CompiledMask& made = madeAt->second;
  made.tokens = Tokenize(mask);
  made.hasDot = mask.find('.') != std::string::npos;
  if (!made.hasDot) made.withExtension = Tokenize(mask + ".*");
  made.utf8 = utf8;
  return made;
}

bool MatchWithDotRules(const std::string& mask, const std::string& name) {
  // The masks of a whole folder: every name, with or without a dot.
  if (mask == "*" || mask == "*.*") return true;
  const CompiledMask& compiled = Compile(mask);
  // The name's characters, upper-cased once for every mask and rule.
  thread_local std::u32string chars;
  FoldedKey(name, &chars);
  const bool nameHasDot = name.find('.') != std::string::npos;
  if (MatchTokens(compiled.tokens, chars)) return true;
  if (!nameHasDot) {
    chars.push_back(U'.');
    const bool matches = MatchTokens(compiled.tokens, chars) ||
                         (!compiled.hasDot && MatchTokens(compiled.withExtension, chars));
    chars.pop_back();
    if (matches) return true;
  }
  return !compiled.hasDot && MatchTokens(compiled.withExtension, chars);
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

}  // namespace

bool MatchMask(const std::string& mask, const std::string& name) {
  return MatchWithDotRules(mask, name);
}

bool ParseMaskList(const std::string& text, MaskList* list) {
  list->include.clear();
  list->exclude.clear();
  std::vector<std::string>* target = &list->include;
  bool seenBar = false;
  std::string current;
  bool quoted = false;   // inside "..."
  bool wasQuoted = false;
  int bracket = 0;       // inside [...]
  auto finish = [&] {
    std::string mask = wasQuoted ? current : Trim(current);
    if (!mask.empty()) target->push_back(mask);
    current.clear();
    wasQuoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else {
        current.push_back(c);
      }
      continue;
    }
    if (c == '"' && bracket == 0) {
      // A quoted mask: what was typed before the quote is only blanks.
      if (!Trim(current).empty()) current = Trim(current);
      else current.clear();
      quoted = true;
      wasQuoted = true;
      continue;
    }
    if (bracket > 0) {
      if (c == ']') bracket = 0;
      current.push_back(c);
      continue;
    }
    if (c == '[' && text.find(']', i + 2) != std::string::npos) {
      bracket = 1;
      current.push_back(c);
      // The character after '[' belongs to the class whatever it is.
      if (i + 1 < text.size()) current.push_back(text[++i]);
      continue;
    }
    if (c == ',' || c == ';') {
      finish();
    } else if (c == '|') {
      if (seenBar) return false;
      finish();
      seenBar = true;
      target = &list->exclude;
    } else {
      current.push_back(c);
    }
  }
  if (quoted) return false;
  finish();
  // "|*.bak" excludes from everything.
  if (seenBar && list->include.empty()) list->include.push_back("*");
  return true;
}

bool MatchMaskList(const std::string& text, const std::string& name) {
  // The last list parsed is kept: a walk asks about every name with the same.
  thread_local std::string lastText;
  thread_local MaskList lastList;
  thread_local bool lastValid = false;
  if (text != lastText || lastText.empty()) {
    lastText = text;
    lastValid = ParseMaskList(text, &lastList);
  }
  return lastValid && MatchMaskList(lastList, name);
}

bool MatchMaskList(const MaskList& list, const std::string& name) {
  bool included = false;
  for (const auto& mask : list.include) {
    if (MatchWithDotRules(mask, name)) {
      included = true;
      break;
    }
  }
  if (!included) return false;
  for (const auto& mask : list.exclude) {
    if (MatchWithDotRules(mask, name)) return false;
  }
  return true;
}

std::string GenerateName(const std::string& mask, const std::string& name) {
  auto split = [](const std::string& s, std::string* base, std::string* ext) {
    size_t dot = s.rfind('.');
    *base = dot == std::string::npos ? s : s.substr(0, dot);
    *ext = dot == std::string::npos ? std::string() : s.substr(dot + 1);
    return dot != std::string::npos;
  };
  // '*' takes the rest of the source, '?' its next character; any other
  // character of the pattern stands for itself and passes one of the source.
  auto apply = [](const std::string& pattern, const std::string& source) {
    std::string out;
    size_t at = 0;  // in `source`
    for (size_t p = 0; p < pattern.size();) {
      const size_t start = p;
      const HostChar c = NextHostChar(pattern, &p);
      if (c == '*') {
        out.append(source, at, std::string::npos);
        at = source.size();
        continue;
      }
      const size_t from = at;
      if (at < source.size()) NextHostChar(source, &at);
      if (c == '?') {
        out.append(source, from, at - from);
      } else {
        out.append(pattern, start, p - start);
      }
    }
    return out;
  };
  std::string maskBase, maskExt, nameBase, nameExt;
  bool maskDot = split(mask, &maskBase, &maskExt);
  split(name, &nameBase, &nameExt);
  std::string out = apply(maskBase, nameBase);
  if (maskDot) {
    std::string ext = apply(maskExt, nameExt);
    if (!ext.empty()) out += "." + ext;
  }
  return out;
}

}  // namespace hostsim
