#include "capture/frame/msformat.h"

#include "platform/codepage.h"

namespace nbl {
namespace {

// Output sink bounded by its capacity; counts what would have been written.
template <class CharT>
class Sink {
 public:
  Sink(CharT* buf, size_t cap) : buf_(buf), cap_(cap) {}
  void Put(CharT c) {
    if (buf_ != nullptr && cap_ > 0 && len_ + 1 < cap_)
      buf_[len_] = c;
    else
      truncated_ = true;
    ++len_;
  }
  void Repeat(CharT c, size_t n) {
    for (size_t i = 0; i < n; ++i) Put(c);
  }
  size_t len() const { return len_; }
  bool truncated() const { return truncated_; }

 private:
  CharT* buf_;
  size_t cap_;
  size_t len_ = 0;
  bool truncated_ = false;
};

// Growing sink for FormatToString.
class StringSink {
 public:
  explicit StringSink(std::u16string* out) : out_(out) {}
  void Put(U16 c) { out_->push_back(c); }
  void Repeat(U16 c, size_t n) { out_->append(n, c); }

 private:
  std::u16string* out_;
};

struct Directive {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = 0;
  int precision = -1;
  int bits = 32;  // integer width after the length modifier
  bool narrowStr = false, wideStr = false;
  char conv = 0;
};

template <class CharT, class Out>
void EmitInt(Out& out, const Directive& sp, const FmtArg& a) {
  uint64_t raw = a.bits();
  uint64_t mag;
  bool neg = false;
  bool isSigned = sp.conv == 'd' || sp.conv == 'i';
  if (sp.bits == 64) {
    if (isSigned && static_cast<int64_t>(raw) < 0) {
      neg = true;
      mag = ~raw + 1;
    } else {
      mag = raw;
    }
  } else {
    uint64_t mask = sp.bits == 16 ? 0xFFFFu : sp.bits == 8 ? 0xFFu : 0xFFFFFFFFu;
    uint64_t v = raw & mask;
    uint64_t signBit = (mask >> 1) + 1;
    if (isSigned && (v & signBit)) {
      neg = true;
      mag = (~v + 1) & mask;
    } else {
      mag = v;
    }
  }
  char digits[32];
  int nd = 0;
  unsigned base = (sp.conv == 'x' || sp.conv == 'X') ? 16 : 10;
  const char* set = sp.conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  while (mag != 0) {
    digits[nd++] = set[mag % base];
    mag /= base;
  }
  int prec = sp.precision < 0 ? 1 : sp.precision;
  int zeros = prec > nd ? prec - nd : 0;
  char sign = neg ? '-' : (isSigned && sp.plus) ? '+' : (isSigned && sp.space) ? ' ' : 0;
  bool prefix = sp.alt && base == 16 && nd > 0;
  int body = nd + zeros + (sign ? 1 : 0) + (prefix ? 2 : 0);
  int pad = sp.width > body ? sp.width - body : 0;
  bool zeroPad = sp.zero && !sp.left && sp.precision < 0;
  if (!sp.left && !zeroPad) out.Repeat(CharT(' '), static_cast<size_t>(pad));
  if (sign) out.Put(CharT(sign));
  if (prefix) {
    out.Put(CharT('0'));
    out.Put(CharT(sp.conv));
  }
  if (zeroPad) out.Repeat(CharT('0'), static_cast<size_t>(pad));
  out.Repeat(CharT('0'), static_cast<size_t>(zeros));
  while (nd > 0) out.Put(CharT(digits[--nd]));
  if (sp.left) out.Repeat(CharT(' '), static_cast<size_t>(pad));
}

// Emits a text unit by unit, honouring precision (units kept) and width.
template <class CharT, class Out, class Unit>
void EmitText(Out& out, const Directive& sp, std::basic_string_view<Unit> s) {
  size_t n = s.size();
  if (sp.precision >= 0 && static_cast<size_t>(sp.precision) < n)
    n = static_cast<size_t>(sp.precision);
  size_t pad =
      sp.width > 0 && static_cast<size_t>(sp.width) > n ? static_cast<size_t>(sp.width) - n : 0;
  if (!sp.left) out.Repeat(CharT(' '), pad);
  for (size_t i = 0; i < n; ++i) out.Put(static_cast<CharT>(s[i]));
  if (sp.left) out.Repeat(CharT(' '), pad);
}

template <class CharT, class Out>
void EmitString(Out& out, const Directive& sp, const FmtArg& a) {
  // Which kind of text the directive asks for: in a wide template %s is wide,
  // in a narrow one it is narrow; %hs is always narrow, %ls always wide.
  bool wantWide = sp.wideStr || (!sp.narrowStr && sizeof(CharT) == 2);
  if (wantWide && a.kind() == FmtArg::Kind::kWide) {
    if constexpr (sizeof(CharT) == 2) {
      EmitText<CharT, Out, U16>(out, sp, a.wide());
    } else {
      std::string tmp = WideToSystem(a.wide());
      EmitText<CharT, Out, char>(out, sp, tmp);
    }
  } else if (!wantWide && a.kind() == FmtArg::Kind::kNarrow) {
    if constexpr (sizeof(CharT) == 2) {
      std::u16string tmp = SystemToWide(a.narrow());
      EmitText<CharT, Out, U16>(out, sp, tmp);
    } else {
      EmitText<CharT, Out, char>(out, sp, a.narrow());
    }
  } else {
    EmitText<CharT, Out, char>(out, Directive{}, std::string_view("(?)"));
  }
}

template <class CharT, class Out>
void Run(Out& out, std::basic_string_view<CharT> fmt, std::initializer_list<FmtArg> args) {
  auto next = args.begin();
  size_t i = 0;
  const size_t n = fmt.size();
  while (i < n) {
    CharT c = fmt[i++];
    if (c != CharT('%')) {
      out.Put(c);
      continue;
    }
    if (i < n && fmt[i] == CharT('%')) {
      out.Put(CharT('%'));
      ++i;
      continue;
    }
    Directive sp;
    for (; i < n; ++i) {
      CharT f = fmt[i];
      if (f == CharT('-'))
        sp.left = true;
      else if (f == CharT('0'))
        sp.zero = true;
      else if (f == CharT('+'))
        sp.plus = true;
      else if (f == CharT(' '))
        sp.space = true;
      else if (f == CharT('#'))
        sp.alt = true;
      else
        break;
    }
    while (i < n && fmt[i] >= CharT('0') && fmt[i] <= CharT('9') && sp.width < 100000)
      sp.width = sp.width * 10 + static_cast<int>(fmt[i++] - CharT('0'));
    if (i < n && fmt[i] == CharT('.')) {
      ++i;
      sp.precision = 0;
      while (i < n && fmt[i] >= CharT('0') && fmt[i] <= CharT('9') && sp.precision < 100000)
        sp.precision = sp.precision * 10 + static_cast<int>(fmt[i++] - CharT('0'));
    }
    // Length modifiers of the Microsoft dialect.
    if (i < n && fmt[i] == CharT('h')) {
      ++i;
      sp.bits = 16;
      sp.narrowStr = true;
      if (i < n && fmt[i] == CharT('h')) {
        ++i;
        sp.bits = 8;
      }
    } else if (i < n && fmt[i] == CharT('l')) {
      ++i;
      sp.wideStr = true;
      if (i < n && fmt[i] == CharT('l')) {
        ++i;
        sp.bits = 64;
      }
    } else if (i < n && fmt[i] == CharT('I')) {
      ++i;
      if (i + 1 < n && fmt[i] == CharT('6') && fmt[i + 1] == CharT('4')) {
        i += 2;
        sp.bits = 64;
      } else if (i + 1 < n && fmt[i] == CharT('3') && fmt[i + 1] == CharT('2')) {
        i += 2;
        sp.bits = 32;
      } else {
        sp.bits = 64;  // plain %I is pointer-sized
      }
    } else if (i < n && (fmt[i] == CharT('z') || fmt[i] == CharT('j'))) {
      ++i;
      sp.bits = 64;
    }
    if (i >= n) break;
    sp.conv = static_cast<char>(fmt[i++]);
    if (next == args.end()) {
      EmitText<CharT, Out, char>(out, Directive{}, std::string_view("(?)"));
      continue;
    }
    const FmtArg& a = *next++;
    switch (sp.conv) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X':
        if (a.kind() == FmtArg::Kind::kInt)
          EmitInt<CharT>(out, sp, a);
        else
          EmitText<CharT, Out, char>(out, Directive{}, std::string_view("(?)"));
        break;
      case 's':
        EmitString<CharT>(out, sp, a);
        break;
      case 'c':
        if (a.kind() == FmtArg::Kind::kInt)
          out.Put(static_cast<CharT>(a.bits()));
        else
          EmitText<CharT, Out, char>(out, Directive{}, std::string_view("(?)"));
        break;
      default:
        EmitText<CharT, Out, char>(out, Directive{}, std::string_view("(?)"));
        break;
    }
  }
}

// Puts the template's line end back at the end of a cut text.
template <class CharT>
void KeepLineEnd(CharT* buf, size_t cap, std::basic_string_view<CharT> fmt, size_t* len) {
  size_t endLen = 0;
  if (fmt.size() >= 2 && fmt[fmt.size() - 2] == CharT('\r') && fmt.back() == CharT('\n'))
    endLen = 2;
  else if (!fmt.empty() && fmt.back() == CharT('\n'))
    endLen = 1;
  if (endLen == 0 || cap <= endLen) return;
  size_t at = *len < cap - 1 ? *len : cap - 1;
  if (at < endLen) at = endLen;
  at -= endLen;
  if (endLen == 2) buf[at++] = CharT('\r');
  buf[at++] = CharT('\n');
  buf[at] = 0;
  *len = at;
}

template <class CharT>
FmtResult Format(CharT* buf, size_t cap, std::basic_string_view<CharT> fmt,
                 std::initializer_list<FmtArg> args) {
  FmtResult r;
  if (buf == nullptr || cap == 0) return r;
  Sink<CharT> sink(buf, cap);
  Run<CharT>(sink, fmt, args);
  size_t len = sink.len() < cap - 1 ? sink.len() : cap - 1;
  buf[len] = 0;
  r.truncated = sink.truncated();
  if (r.truncated) KeepLineEnd(buf, cap, fmt, &len);
  r.length = len;
  return r;
}

}  // namespace

FmtResult FormatWide(U16* buf, size_t cap, std::u16string_view fmt,
                     std::initializer_list<FmtArg> args) {
  return Format<U16>(buf, cap, fmt, args);
}

FmtResult FormatNarrow(char* buf, size_t cap, std::string_view fmt,
                       std::initializer_list<FmtArg> args) {
  return Format<char>(buf, cap, fmt, args);
}

std::u16string FormatToString(std::u16string_view fmt, std::initializer_list<FmtArg> args) {
  std::u16string out;
  StringSink sink(&out);
  Run<U16>(sink, fmt, args);
  return out;
}

}  // namespace nbl
