// The configuration document's key writer: line scanning in code page 932
// and the one edit that writing a key makes.
#include "package/profile_writer.h"

#include <string.h>

#include "common/cp932.h"

namespace {

// A line of the document: [start, end) is its text, next where the
// following line starts (after LF, or length for the last line).
struct Line {
  size_t start;
  size_t end;
  size_t next;
};

enum LineKind { LINE_BLANK, LINE_COMMENT, LINE_SECTION, LINE_KEY };

// A line taken apart: the name of a section or key as [name, name_end),
// and for a key line with "=" the offset of its value.
struct LineParts {
  LineKind kind;
  size_t name;
  size_t name_end;
  bool has_value;
  size_t value;
};

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// The line that starts at start. LF is never part of a double-byte
// character, so the end of the line is found byte by byte.
Line LineAt(const char* text, size_t length, size_t start) {
  size_t lf = start;
  while (lf < length && text[lf] != '\n') ++lf;
  Line line{start, lf, lf < length ? lf + 1 : length};
  if (line.end > start && text[line.end - 1] == '\r') --line.end;
  return line;
}

// [from, to) without blanks at either end.
void Trim(const char* text, size_t* from, size_t* to) {
  while (*from < *to && IsBlank(text[*from])) ++*from;
  while (*to > *from && IsBlank(text[*to - 1])) --*to;
}

// Offset of the first single-byte character c in [from, to), walking whole
// characters, or to when there is none.
size_t FindChar(const char* text, size_t from, size_t to, char c) {
  size_t i = from;
  while (i < to) {
    size_t size = Cp932CharSize(text, to, i);
    if (size == 1 && text[i] == c) return i;
    i += size;
  }
  return to;
}

LineParts Parse(const char* text, const Line& line) {
  LineParts p{LINE_BLANK, 0, 0, false, 0};
  size_t i = line.start;
  while (i < line.end && IsBlank(text[i])) ++i;
  if (i == line.end) return p;
  if (text[i] == ';') {
    p.kind = LINE_COMMENT;
    return p;
  }
  if (text[i] == '[') {
    p.kind = LINE_SECTION;
    p.name = i + 1;
    p.name_end = FindChar(text, p.name, line.end, ']');
    Trim(text, &p.name, &p.name_end);
    return p;
  }
  p.kind = LINE_KEY;
  p.name = i;
  p.name_end = FindChar(text, i, line.end, '=');
  if (p.name_end < line.end) {
    p.has_value = true;
    p.value = p.name_end + 1;
  }
  Trim(text, &p.name, &p.name_end);
  return p;
}

// Whether [from, to) of text is name, character by character, the ASCII
// letters of single-byte characters in either case.
bool NameEquals(const char* text, size_t from, size_t to, const char* name) {
  size_t name_length = strlen(name);
  size_t i = from, j = 0;
  while (i < to && j < name_length) {
    size_t a = Cp932CharSize(text, to, i);
    size_t b = Cp932CharSize(name, name_length, j);
    if (a != b) return false;
    if (a == 2) {
      if (text[i] != name[j] || text[i + 1] != name[j + 1]) return false;
    } else if (FoldAscii(text[i]) != FoldAscii(name[j])) {
      return false;
    }
    i += a;
    j += b;
  }
  return i == to && j == name_length;
}

// What writing a key finds in the document.
struct Spot {
  bool section_found;
  bool key_found;
  size_t value;       // key found: its value [value, value_end)
  size_t value_end;
  size_t insert;      // key not found: where its line goes
  bool insert_breaks;  // the line before insert has no line break
};

// Whether line is the last one and no LF ends it.
bool Unterminated(const char* text, size_t length, const Line& line) {
  return line.next == length && text[length - 1] != '\n';
}

Spot Locate(const char* text, size_t length, const char* section, const char* key) {
  Spot s{false, false, 0, 0, 0, false};
  bool inside = false;
  for (size_t at = 0; at < length;) {
    Line line = LineAt(text, length, at);
    LineParts p = Parse(text, line);
    if (p.kind == LINE_SECTION) {
      if (inside) break;  // the first section of the name is the one written
      if (NameEquals(text, p.name, p.name_end, section)) {
        inside = s.section_found = true;
        s.insert = line.next;
        s.insert_breaks = Unterminated(text, length, line);
      }
    } else if (inside && p.kind == LINE_KEY) {
      if (p.has_value && NameEquals(text, p.name, p.name_end, key)) {
        s.key_found = true;
        s.value = p.value;
        s.value_end = line.end;
        return s;
      }
      s.insert = line.next;
      s.insert_breaks = Unterminated(text, length, line);
    }
    at = line.next;
  }
  return s;
}

// Whether text ends in the first byte of a double-byte character that has
// no second byte: written before "]" or a line break it would swallow it.
bool EndsInLeadByte(const char* text, size_t length) {
  size_t i = 0, last = 1;
  while (i < length) {
    last = Cp932CharSize(text, length, i);
    i += last;
  }
  return length > 0 && last == 1 && Cp932IsLead(static_cast<unsigned char>(text[length - 1]));
}

bool HasByte(const char* text, size_t length, char c) { return memchr(text, c, length) != nullptr; }

bool SectionWritable(const char* s) {
  if (!s) return false;
  size_t n = strlen(s);
  return n > 0 && !IsBlank(s[0]) && !IsBlank(s[n - 1]) && !HasByte(s, n, '\r') &&
         !HasByte(s, n, '\n') && FindChar(s, 0, n, ']') == n && !EndsInLeadByte(s, n);
}

bool KeyWritable(const char* k) {
  if (!k) return false;
  size_t n = strlen(k);
  return n > 0 && !IsBlank(k[0]) && !IsBlank(k[n - 1]) && k[0] != '[' && k[0] != ';' &&
         !HasByte(k, n, '\r') && !HasByte(k, n, '\n') && !HasByte(k, n, '=') &&
         !EndsInLeadByte(k, n);
}

bool ValueWritable(const char* v) {
  if (!v) return false;
  size_t n = strlen(v);
  return !HasByte(v, n, '\r') && !HasByte(v, n, '\n') && !EndsInLeadByte(v, n);
}

// Collects the bytes of the result, counting what does not fit.
struct Out {
  char* dst;
  size_t capacity;
  size_t length;

  void put(const char* bytes, size_t n) {
    if (length + n <= capacity && n) memcpy(dst + length, bytes, n);
    length += n;
  }
  void put(const char* s) { put(s, strlen(s)); }

  // Ends the unterminated last line of text: a lone CR there gets its LF.
  void line_break(const char* text, size_t length) {
    put(text[length - 1] == '\r' ? "\n" : "\r\n");
  }
};

}  // namespace

bool profile_find_key(const char* text, size_t length, const char* section, const char* key,
                      size_t* value_offset, size_t* value_length) {
  if (!text || !section || !key) return false;
  Spot s = Locate(text, length, section, key);
  if (!s.key_found) return false;
  *value_offset = s.value;
  *value_length = s.value_end - s.value;
  return true;
}

size_t profile_write_bound(size_t length, const char* section, const char* key, const char* value) {
  // "\r\n[" section "]\r\n" key "=" value "\r\n"
  return length + (section ? strlen(section) : 0) + (key ? strlen(key) : 0) +
         (value ? strlen(value) : 0) + 10;
}

int profile_write_key(const char* text, size_t length, const char* section, const char* key,
                      const char* value, char* out, size_t capacity, size_t* out_length) {
  if (!SectionWritable(section) || !KeyWritable(key)) return ST_PROFILE_NAME;
  if (!ValueWritable(value)) return ST_PROFILE_VALUE;
  if (!text) length = 0;
  Spot s = Locate(text, length, section, key);
  Out o{out, out ? capacity : 0, 0};
  if (s.key_found) {
    o.put(text, s.value);
    o.put(value);
    o.put(text + s.value_end, length - s.value_end);
  } else if (s.section_found) {
    o.put(text, s.insert);
    if (s.insert_breaks) o.line_break(text, length);
    o.put(key);
    o.put("=");
    o.put(value);
    if (!s.insert_breaks) o.put("\r\n");
    o.put(text + s.insert, length - s.insert);
  } else {
    o.put(text, length);
    if (length > 0 && text[length - 1] != '\n') o.line_break(text, length);
    o.put("[");
    o.put(section);
    o.put("]\r\n");
    o.put(key);
    o.put("=");
    o.put(value);
    o.put("\r\n");
  }
  *out_length = o.length;
  return o.length <= o.capacity ? 0 : ST_PROFILE_SPACE;
}
