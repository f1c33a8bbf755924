#include "hostsim/masks.h"

#include <cstring>
#include <unordered_map>

#include "hostsim/oem_case.h"

namespace hostsim {

namespace {

unsigned char Up(char c) { return OemCase().upper[static_cast<unsigned char>(c)]; }

// One token of a mask: '?', '*', a literal character or a class in brackets.
struct Token {
  enum Kind { Any, Star, Literal, Class } kind;
  char literal = 0;
  std::string set;  // Class: pairs of (first, last), upper-cased
};

std::vector<Token> Tokenize(const std::string& mask) {
  std::vector<Token> tokens;
  for (size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    if (c == '*') {
      // Consecutive stars mean the same as one.
      if (tokens.empty() || tokens.back().kind != Token::Star) tokens.push_back({Token::Star});
    } else if (c == '?') {
      tokens.push_back({Token::Any});
    } else if (c == '[' && mask.find(']', i + 2) != std::string::npos) {
      // "[" followed by at least one character and a "]": a class. The
      // character right after "[" is always content, so "[]]" lists "]".
      size_t close = mask.find(']', i + 2);
      std::string content = mask.substr(i + 1, close - i - 1);
      Token t{Token::Class};
      for (size_t k = 0; k < content.size(); ++k) {
        if (content[k] == ',') continue;
        char first = content[k];
        char last = first;
        if (k + 2 < content.size() && content[k + 1] == '-' && content[k + 2] != ',') {
          last = content[k + 2];
          k += 2;
        }
        t.set.push_back(static_cast<char>(Up(first)));
        t.set.push_back(static_cast<char>(Up(last)));
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

// `up`: the OEM upper-case table, looked up once per match.
bool TokenMatches(const Token& t, char c, const unsigned char* up) {
  switch (t.kind) {
    case Token::Any: return true;
    case Token::Literal:
      return up[static_cast<unsigned char>(t.literal)] == up[static_cast<unsigned char>(c)];
    case Token::Class: {
      unsigned char u = up[static_cast<unsigned char>(c)];
      for (size_t k = 0; k + 1 < t.set.size(); k += 2) {
        unsigned char first = static_cast<unsigned char>(t.set[k]);
        unsigned char last = static_cast<unsigned char>(t.set[k + 1]);
        if (u >= first && u <= last) return true;
      }
      return false;
    }
    case Token::Star: break;
  }
  return false;
}

// Every token but '*' takes exactly one character, so one remembered star
// position suffices for backtracking.
bool MatchTokens(const std::vector<Token>& tokens, const std::string& name) {
  const unsigned char* up = OemCase().upper;
  // "*" then literal characters (an extension's mask): the end of the name.
  if (!tokens.empty() && tokens[0].kind == Token::Star) {
    size_t literals = 0;
    while (1 + literals < tokens.size() && tokens[1 + literals].kind == Token::Literal) ++literals;
    if (1 + literals == tokens.size()) {
      if (name.size() < literals) return false;
      const size_t from = name.size() - literals;
      for (size_t i = 0; i < literals; ++i)
        if (!TokenMatches(tokens[1 + i], name[from + i], up)) return false;
      return true;
    }
  }
  size_t t = 0, n = 0;
  size_t starToken = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (t < tokens.size() && tokens[t].kind == Token::Star) {
      starToken = t++;
      starName = n;
    } else if (t < tokens.size() && TokenMatches(tokens[t], name[n], up)) {
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
// same few masks.
struct CompiledMask {
  std::vector<Token> tokens;
  std::vector<Token> withExtension;
  bool hasDot = false;
};

const CompiledMask& Compile(const std::string& mask) {
  thread_local std::unordered_map<std::string, CompiledMask> compiled;
  // A walk asks about every name with the same mask.
  thread_local const std::pair<const std::string, CompiledMask>* last = nullptr;
  if (last != nullptr && last->first == mask) return last->second;
  auto found = compiled.find(mask);
  if (found != compiled.end()) {
    last = &*found;
    return found->second;
  }
  if (compiled.size() >= 64) {  // bounded: masks typed in a session
    compiled.clear();
    last = nullptr;
  }
  auto madeAt = compiled.emplace(mask, CompiledMask()).first;
  last = &*madeAt;
  CompiledMask& made = madeAt->second;
  made.tokens = Tokenize(mask);
  made.hasDot = mask.find('.') != std::string::npos;
  if (!made.hasDot) made.withExtension = Tokenize(mask + ".*");
  return made;
}

bool MatchWithDotRules(const std::string& mask, const std::string& name) {
  // The masks of a whole folder: every name, with or without a dot.
  if (mask == "*" || mask == "*.*") return true;
  const CompiledMask& compiled = Compile(mask);
  bool nameHasDot = name.find('.') != std::string::npos;
  if (MatchTokens(compiled.tokens, name)) return true;
  if (!nameHasDot && MatchTokens(compiled.tokens, name + ".")) return true;
  if (!compiled.hasDot) {
    if (MatchTokens(compiled.withExtension, name)) return true;
    if (!nameHasDot && MatchTokens(compiled.withExtension, name + ".")) return true;
  }
  return false;
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
  auto apply = [](const std::string& pattern, const std::string& source) {
    std::string out;
    size_t pos = 0;
    for (char c : pattern) {
      if (c == '*') {
        if (pos < source.size()) out += source.substr(pos);
        pos = source.size();
      } else if (c == '?') {
        if (pos < source.size()) out.push_back(source[pos]);
        ++pos;
      } else {
        out.push_back(c);
        ++pos;
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
