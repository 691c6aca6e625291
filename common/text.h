// Bounded text copying and formatting into fixed buffers, for narrow
// (code page 932) and UTF-16 text alike. Compiles without windows.h.
//
// Every routine here takes the capacity of its destination in characters,
// terminator included, and never writes past it. A result that does not fit
// is a failure: the routine returns -1 and leaves the empty string in the
// destination, so that a shortened path can never be used by mistake.
#pragma once

#include <stdarg.h>
#include <stddef.h>

// Sizes shared by both programs.
enum {
  VT_PATH_CAP = 280,     // buffer for a path, in characters
  VT_PATH_MAX = 259,     // longest path the file layer accepts
  VT_MESSAGE_CAP = 1024  // buffer for a message text
};

// Length of a NUL-terminated text in characters.
template <typename C>
inline size_t TextLength(const C* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// Length of text, looking at no more than max characters.
template <typename C>
inline size_t TextLengthMax(const C* text, size_t max) {
  size_t n = 0;
  while (n < max && text[n]) ++n;
  return n;
}

// Copies src into dst. Returns the length of the copy, or -1 when src does
// not fit into cap characters (dst then holds the empty string).
template <typename C>
inline int TextCopy(C* dst, size_t cap, const C* src) {
  if (cap == 0) return -1;
  size_t n = 0;
  for (; src[n]; ++n) {
    if (n + 1 >= cap) {
      dst[0] = 0;
      return -1;
    }
    dst[n] = src[n];
  }
  dst[n] = 0;
  return static_cast<int>(n);
}

// Appends src to the text in dst. Returns the new length, or -1 when the
// result does not fit (dst then holds the empty string).
template <typename C>
inline int TextAppend(C* dst, size_t cap, const C* src) {
  size_t used = TextLengthMax(dst, cap);
  if (used >= cap) {
    if (cap) dst[0] = 0;
    return -1;
  }
  int n = TextCopy(dst + used, cap - used, src);
  if (n < 0) {
    dst[0] = 0;
    return -1;
  }
  return static_cast<int>(used) + n;
}

namespace text_detail {

// Writes characters into a bounded buffer and remembers whether any did
// not fit.
template <typename C>
struct Sink {
  C* dst;
  size_t cap;
  size_t len;
  bool overflow;

  void put(C c) {
    if (len + 1 < cap)
      dst[len++] = c;
    else
      overflow = true;
  }
  void repeat(C c, int count) {
    for (int i = 0; i < count; ++i) put(c);
  }
};

template <typename C>
inline void PutText(Sink<C>& out, const C* text, int precision, int width,
                    bool left) {
  size_t n = text ? TextLengthMax(text, precision < 0 ? static_cast<size_t>(-1)
                                                      : static_cast<size_t>(precision))
                  : 0;
  int pad = width > static_cast<int>(n) ? width - static_cast<int>(n) : 0;
  if (!left) out.repeat(C(' '), pad);
  for (size_t i = 0; i < n; ++i) out.put(text[i]);
  if (left) out.repeat(C(' '), pad);
}

template <typename C>
inline void PutNumber(Sink<C>& out, unsigned value, bool negative, unsigned base,
                      bool upper, int width, bool left, bool zero) {
  char digits[12];
  int n = 0;
  do {
    unsigned d = value % base;
    digits[n++] = static_cast<char>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
    value /= base;
  } while (value);
  int body = n + (negative ? 1 : 0);
  int pad = width > body ? width - body : 0;
  if (!left && !zero) out.repeat(C(' '), pad);
  if (negative) out.put(C('-'));
  if (!left && zero) out.repeat(C('0'), pad);
  while (n) out.put(C(digits[--n]));
  if (left) out.repeat(C(' '), pad);
}

}  // namespace text_detail

// printf-style formatting into a bounded buffer. Understands the flags "-"
// and "0", a width, a precision for %s, and the conversions %d %i %u %x %X
// %c %s %%. Every integer conversion takes a 32-bit int argument; the "l"
// modifier is accepted and ignored (long is 32 bits on Windows). %s takes a
// text of the same character type as the format. Returns the length written,
// or -1 when the result does not fit (dst then holds the empty string) or
// the format is not understood.
template <typename C>
inline int TextFormatV(C* dst, size_t cap, const C* format, va_list args) {
  using namespace text_detail;
  if (cap == 0) return -1;
  Sink<C> out{dst, cap, 0, false};
  for (const C* p = format; *p; ++p) {
    if (*p != C('%')) {
      out.put(*p);
      continue;
    }
    ++p;
    bool left = false, zero = false;
    for (;; ++p) {
      if (*p == C('-')) left = true;
      else if (*p == C('0')) zero = true;
      else break;
    }
    int width = 0;
    while (*p >= C('0') && *p <= C('9')) width = width * 10 + (*p++ - C('0'));
    int precision = -1;
    if (*p == C('.')) {
      ++p;
      precision = 0;
      while (*p >= C('0') && *p <= C('9')) precision = precision * 10 + (*p++ - C('0'));
    }
    while (*p == C('l') || *p == C('h')) ++p;
    switch (*p) {
      case C('d'):
      case C('i'): {
        int v = va_arg(args, int);
        unsigned magnitude = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
        PutNumber(out, magnitude, v < 0, 10, false, width, left, zero);
        break;
      }
      case C('u'):
        PutNumber(out, va_arg(args, unsigned), false, 10, false, width, left, zero);
        break;
      case C('x'):
      case C('X'):
        PutNumber(out, va_arg(args, unsigned), false, 16, *p == C('X'), width, left, zero);
        break;
      case C('c'): {
        C c = static_cast<C>(va_arg(args, int));
        int pad = width > 1 ? width - 1 : 0;
        if (!left) out.repeat(C(' '), pad);
        out.put(c);
        if (left) out.repeat(C(' '), pad);
        break;
      }
      case C('s'):
        PutText(out, va_arg(args, const C*), precision, width, left);
        break;
      case C('%'):
        out.put(C('%'));
        break;
      default:
        dst[0] = 0;
        return -1;
    }
  }
  if (out.overflow) {
    dst[0] = 0;
    return -1;
  }
  dst[out.len] = 0;
  return static_cast<int>(out.len);
}

template <typename C>
inline int TextFormat(C* dst, size_t cap, const C* format, ...) {
  va_list args;
  va_start(args, format);
  int n = TextFormatV(dst, cap, format, args);
  va_end(args);
  return n;
}

// Value of a hexadecimal digit of either case, or -1 for any other
// character.
template <typename C>
inline int TextHexDigit(C c) {
  if (c >= C('0') && c <= C('9')) return static_cast<int>(c - C('0'));
  if (c >= C('A') && c <= C('F')) return static_cast<int>(c - C('A')) + 10;
  if (c >= C('a') && c <= C('f')) return static_cast<int>(c - C('a')) + 10;
  return -1;
}

// Characters of a GUID in its braced text form.
const size_t TEXT_GUID_LENGTH = 38;

// Whether the first TEXT_GUID_LENGTH characters of text have the shape
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with hexadecimal digits of
// either case. The caller sees to the length: text must hold that many
// characters (a terminator before them fails the shape).
template <typename C>
inline bool TextGuidShaped(const C* text) {
  static const char shape[] = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
  static_assert(sizeof shape == TEXT_GUID_LENGTH + 1, "GUID shape");
  for (size_t i = 0; i < TEXT_GUID_LENGTH; ++i) {
    bool ok = shape[i] == 'x' ? TextHexDigit(text[i]) >= 0 : text[i] == C(shape[i]);
    if (!ok) return false;
  }
  return true;
}
