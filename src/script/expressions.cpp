#include "script/expressions.h"

#include <climits>
#include <cstring>

#include "text/sjis.h"

namespace zorvel {

void DeveloperLog::Report(const char* sjisMessage, const std::string& context) {
  if (entries_.size() == kMaxEntries) entries_.pop_front();
  entries_.push_back(std::string(sjisMessage) + ": " + context);
}

size_t DeveloperLog::Count(const char* sjisMessage) const {
  size_t n = 0;
  const size_t len = std::strlen(sjisMessage);
  for (const std::string& e : entries_) {
    if (e.compare(0, len, sjisMessage) == 0) ++n;
  }
  return n;
}

namespace {

bool IsStop(char c) {
  switch (c) {
    case 0:
    case '!':
    case '&':
    case ',':
    case ';':
    case '<':
    case '=':
    case '>':
    case ']':
    case '|':
      return true;
    default:
      return false;
  }
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Signed 32-bit arithmetic with wrap-around; division and remainder by zero give 0, and the
// one overflowing quotient (INT_MIN / -1) wraps instead of trapping.
int32_t Apply(char op, int32_t a, int32_t b) {
  const auto ua = static_cast<uint32_t>(a);
  const auto ub = static_cast<uint32_t>(b);
  switch (op) {
    case '+':
      return static_cast<int32_t>(ua + ub);
    case '-':
      return static_cast<int32_t>(ua - ub);
    case '*':
      return static_cast<int32_t>(ua * ub);
    case '/':
      if (b == 0) return 0;
      if (a == INT32_MIN && b == -1) return INT32_MIN;
      return a / b;
    case '%':
      if (b == 0 || b == -1) return 0;
      return a % b;
    case '&':
      return a & b;
    case '|':
      return a | b;
    case 'X':
      return a ^ b;
    default:
      return b;
  }
}

// Reads exactly `digits` decimal digits; false when any is missing.
bool ReadIndex(const char*& p, int digits, int& index) {
  index = 0;
  for (int i = 0; i < digits; ++i) {
    if (!IsDigit(p[i])) return false;
    index = index * 10 + (p[i] - '0');
  }
  p += digits;
  return true;
}

}  // namespace

bool Expressions::ReadVariable(const char*& p, int32_t& value) {
  const char bank = *p++;
  int index = 0;
  switch (bank) {
    case 'V':
      if (!ReadIndex(p, 3, index)) return false;
      value = vars_.V[index];
      return true;
    case 'S':
      if (!ReadIndex(p, 3, index) || index >= 200) return false;
      value = vars_.S[index];
      return true;
    case 'P': {
      if (!ReadIndex(p, 3, index)) return false;
      const int32_t target = vars_.V[index];
      if (target < 0 || target >= 1000) return false;
      value = vars_.V[target];
      return true;
    }
    case 'F':
      if (!ReadIndex(p, 3, index)) return false;
      value = vars_.F.Test(index) ? 1 : 0;
      return true;
    case 'E':
      if (!ReadIndex(p, 3, index)) return false;
      value = vars_.E.Test(index) ? 1 : 0;
      return true;
    case 'T':
      if (!ReadIndex(p, 4, index)) return false;
      value = vars_.T.Test(index) ? 1 : 0;
      return true;
    case 'G':
      if (!ReadIndex(p, 1, index)) return false;
      value = vars_.G[index];
      return true;
    default:
      return false;
  }
}

int32_t Expressions::Evaluate(const char* text, const char** stop) {
  int32_t a = 0;
  int32_t b = 0;
  char op = '+';
  const char* p = text;
  for (;;) {
    const char c = *p;
    if (IsStop(c)) break;
    bool valid = true;
    if (IsDigit(c)) {
      b = static_cast<int32_t>(static_cast<uint32_t>(b) * 10u + static_cast<uint32_t>(c - '0'));
      ++p;
    } else if (c == '+' || c == '-' || c == '*' || c == '/' || c == '%') {
      a = Apply(op, a, b);
      b = 0;
      op = c;
      ++p;
    } else if (c == '_' && (p[1] == '&' || p[1] == '|' || p[1] == 'X')) {
      a = Apply(op, a, b);
      b = 0;
      op = p[1];
      p += 2;
    } else if (c == 'R') {
      ++p;
      int32_t n = 0;
      int digits = 0;
      while (digits < 6 && IsDigit(*p)) {
        n = n * 10 + (*p++ - '0');
        ++digits;
      }
      if (n > 0) {
        b = random_.Next() % n;
      } else {
        valid = false;
      }
    } else if (c == 'V' || c == 'S' || c == 'P' || c == 'F' || c == 'E' || c == 'T' || c == 'G') {
      valid = ReadVariable(p, b);
    } else {
      valid = false;
    }
    if (!valid) {
      log_.Report(DeveloperLog::kInvalidExpression, text);
      // Leave the reader at the next stop so conditions can still find their operator.
      while (!IsStop(*p)) p += CharLength(p);
      if (stop) *stop = p;
      return 0;
    }
  }
  if (stop) *stop = p;
  return Apply(op, a, b);
}

void Expressions::Assign(const char* list) {
  // Upper-case and drop blanks, tabs and full-width blanks, so "v001 = 1" reads as "V001=1".
  std::string text;
  for (const char* p = list; *p;) {
    // A tab counts as a two-byte lead wherever text is walked by characters, but here only the
    // tab itself goes: the byte after it is the next character.
    if (*p == '\t') {
      ++p;
      continue;
    }
    const int len = CharLength(p);
    if (len == 2 && static_cast<uint8_t>(p[0]) == 0x81 && static_cast<uint8_t>(p[1]) == 0x40) {
      p += 2;
      continue;
    }
    if (len == 1 && *p == ' ') {
      ++p;
      continue;
    }
    text.append(p, static_cast<size_t>(len));
    p += len;
  }
  text = UpperSjis(text);

  const char* p = text.c_str();
  for (;;) {
    const char* start = p;
    const char bank = *p;
    const int digits = bank == 'T' ? 4 : bank == 'G' ? 1 : 3;
    const char* q = p + 1;
    int index = 0;
    const bool knownBank = std::strchr("VSGPFET", bank) != nullptr && bank != 0;
    bool ok = knownBank && ReadIndex(q, digits, index) && *q != 0;
    if (ok) {
      ++q;  // the "="
      const int32_t value = Evaluate(q);
      switch (bank) {
        case 'V':
          vars_.V[index] = value;
          break;
        case 'S':
          if (index < 200) {
            vars_.S[index] = value;
            if ((index == kSavePermission || index == kSaveAllowed) && onControlRegister_) {
              onControlRegister_();
            }
          } else {
            ok = false;
          }
          break;
        case 'G':
          vars_.G[index] = value;
          break;
        case 'P':
          if (vars_.V[index] >= 0 && vars_.V[index] < 1000) {
            vars_.V[vars_.V[index]] = value;
          } else {
            ok = false;
          }
          break;
        case 'F':
          if (value == 0 || value == 1) vars_.F.Set(index, value == 1);
          break;
        case 'E':
        case 'T':
          if (value == 0 || value == 1) {
            if (bank == 'E') {
              vars_.E.Set(index, value == 1);
            } else {
              vars_.T.Set(index, value == 1);
            }
          } else {
            ok = false;
          }
          break;
      }
    }
    const char* semi = std::strchr(start, ';');
    if (!ok) {
      const std::string one = semi ? std::string(start, semi) : std::string(start);
      log_.Report(DeveloperLog::kAssignError, one);
    }
    if (!semi) return;
    p = semi + 1;
  }
}

bool Expressions::Condition(const char* text) {
  // Copy up to ")" (at most 100 characters), upper-cased and without blanks.
  const char* p = text;
  if (*p == '(') ++p;
  std::string cond;
  for (; *p && *p != ')' && cond.size() < 100; ++p) {
    if (*p == ' ') continue;
    cond.push_back(*p);
  }
  cond = UpperSjis(cond);

  const char* term = cond.c_str();
  for (;;) {
    const int32_t left = Evaluate(term);
    // The operator is searched after the term's first character so a leading sign is an operand.
    const char* op = term[0] ? term + 1 : term;
    while (*op && !std::strchr("!&,<=>|", *op)) ++op;
    bool value = false;
    const char* joiner = op;
    const char kind = *op;
    if (kind == '=' || kind == '!' || kind == '<' || kind == '>') {
      const bool withEquals = op[1] == '=';
      const char* rightText = op + (withEquals ? 2 : 1);
      const int32_t right = Evaluate(rightText, &joiner);
      switch (kind) {
        case '=':
          value = left == right;
          break;
        case '!':
          value = left != right;
          break;
        case '<':
          value = withEquals ? left <= right : left < right;
          break;
        case '>':
          value = withEquals ? left >= right : left > right;
          break;
      }
    } else {
      // A term without a comparison counts as its own truth value.
      value = left != 0;
    }
    if (*joiner == '&') {
      if (!value) return false;
      term = joiner + 1;
    } else if (*joiner == '|') {
      if (value) return true;
      term = joiner + 1;
    } else {
      return value;
    }
  }
}

}  // namespace zorvel
