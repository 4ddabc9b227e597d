#include "sim/sim_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kelvane::simtext {

bool CommandLine::Number(int& value) {
  value = 0;
  size_t digits = 0;
  while (i < body.size() && IsDigit(body[i]) && digits < 4) {
    value = value * 10 + (body[i] - '0');
    ++i;
    ++digits;
  }
  return digits > 0;
}

char Up(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool IsPrintable(std::string_view t) {
  return std::all_of(t.begin(), t.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::string Upper(std::string_view t) {
  std::string u(t);
  for (char& c : u) c = Up(c);
  return u;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

bool ParseNumber(std::string_view t, int max, int& out) {
  t = Trim(t);
  if (t.empty() || t.size() > 9) return false;
  int v = 0;
  for (char c : t) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  out = v;
  return true;
}

bool OnlyDialDigits(std::string_view t) {
  return std::all_of(t.begin(), t.end(), [](char c) { return IsDigit(c) || c == '+'; });
}

bool SplitArgs(std::string_view t, std::vector<Arg>& args) {
  args.clear();
  size_t i = 0;
  while (true) {
    while (i < t.size() && t[i] == ' ') ++i;
    Arg a;
    if (i < t.size() && t[i] == '"') {
      size_t close = std::string_view::npos;
      for (size_t j = i + 1; j < t.size(); ++j) {
        if (t[j] != '"') continue;
        size_t k = j + 1;
        while (k < t.size() && t[k] == ' ') ++k;
        if (k == t.size() || t[k] == ',') {
          close = j;
          break;
        }
      }
      if (close == std::string_view::npos) return false;
      a.text = std::string(t.substr(i + 1, close - i - 1));
      a.quoted = true;
      i = close + 1;
      while (i < t.size() && t[i] == ' ') ++i;
    } else {
      const size_t comma = t.find(',', i);
      const size_t end = comma == std::string_view::npos ? t.size() : comma;
      a.text = std::string(Trim(t.substr(i, end - i)));
      i = end;
    }
    args.push_back(std::move(a));
    if (i >= t.size()) return true;
    if (t[i] != ',') return false;
    ++i;
  }
}

bool NumArg(const std::vector<Arg>& args, size_t index, int max, int& value) {
  if (index >= args.size() || (args[index].text.empty() && !args[index].quoted)) return true;
  if (args[index].quoted) return false;
  return ParseNumber(args[index].text, max, value);
}

bool TextArg(const std::vector<Arg>& args, size_t index, size_t limit, std::string& value) {
  if (index >= args.size()) return true;
  const std::string& t = args[index].text;
  if (t.size() > limit || !IsPrintable(t)) return false;
  value = t;
  return true;
}

bool OneNumber(std::string_view args, int lo, int hi, int& field) {
  std::vector<Arg> list;
  int v = field;
  if (!SplitArgs(args, list) || list.size() != 1 || !NumArg(list, 0, hi, v) || v < lo) return false;
  field = v;
  return true;
}

bool IndexedQuery(int kind, std::string_view args, int& index) {
  const std::string_view t = Trim(args);
  return kind == K_SET && !t.empty() && t.back() == '?' &&
         ParseNumber(t.substr(0, t.size() - 1), 10, index) && index >= 1;
}

std::string Format(const char* fmt, int a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, a);
  return buf;
}

}  // namespace kelvane::simtext
