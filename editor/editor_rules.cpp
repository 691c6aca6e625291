// The editor's start-up rules: the caption comparison, the work folder's
// name and the headless command line.
#include "editor/editor_rules.h"

#include "common/text.h"

namespace {

enum { kCompareCap = VT_PATH_CAP };

// Copies at most n characters (and at most cap - 1) into a zero-filled
// buffer, folding letters to upper case by the rule for each side.
void FoldCopy(const wchar_t* text, size_t n, wchar_t* out, bool by_low_byte) {
  for (size_t i = 0; i < kCompareCap; ++i) out[i] = 0;
  for (size_t i = 0; i < n && i < kCompareCap - 1 && text[i]; ++i) {
    wchar_t c = text[i];
    unsigned check = by_low_byte ? (c & 0xFF) : c;
    if (check >= 'a' && check <= 'z') c = static_cast<wchar_t>(c - ('a' - 'A'));
    out[i] = c;
  }
}

}  // namespace

bool text_same_nocase(const wchar_t* a, const wchar_t* b) {
  for (; *a || *b; ++a, ++b) {
    wchar_t x = *a, y = *b;
    if (x >= 'a' && x <= 'z') x = static_cast<wchar_t>(x - ('a' - 'A'));
    if (y >= 'a' && y <= 'z') y = static_cast<wchar_t>(y - ('a' - 'A'));
    if (x != y) return false;
  }
  return true;
}

int compare_prefix_nocase(const wchar_t* text, const wchar_t* reference, size_t n) {
  wchar_t a[kCompareCap], b[kCompareCap];
  FoldCopy(text, n, a, false);
  FoldCopy(reference, n, b, true);
  if (n > kCompareCap) n = kCompareCap;
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

bool work_folder_name(const wchar_t* temp_file, wchar_t* name, size_t cap) {
  const size_t kScan = 256;
  size_t start = 0, i = 0;
  for (; i < kScan && temp_file[i]; ++i)
    if (temp_file[i] == L'\\') start = i + 1;
  size_t end = start;
  while (end < start + kScan && temp_file[end] && temp_file[end] != L'.') ++end;
  size_t n = end - start;
  if (n == 0 || n + 1 > cap) {
    if (cap) name[0] = 0;
    return false;
  }
  for (size_t k = 0; k < n; ++k) name[k] = temp_file[start + k];
  name[n] = 0;
  return true;
}

unsigned headless_seconds_parse(const wchar_t* text) {
  unsigned seconds = 0;
  size_t i = 0;
  for (; text[i]; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return 0;
    seconds = seconds * 10 + static_cast<unsigned>(text[i] - L'0');
    if (seconds > HEADLESS_SIGN_TIMEOUT_MAX) return 0;
  }
  return seconds;
}

int headless_args_parse(int argc, wchar_t* const* argv, HeadlessArgs* args) {
  *args = HeadlessArgs{NULL, NULL, NULL, 0};
  if (argc < 1 || !text_same_nocase(argv[0], L"/build")) return HEADLESS_NONE;
  for (int i = 1; i < argc; ++i) {
    const wchar_t** target = NULL;
    if (text_same_nocase(argv[i], L"/out"))
      target = &args->output_folder;
    else if (text_same_nocase(argv[i], L"/name"))
      target = &args->setup_name;
    if (text_same_nocase(argv[i], L"/signtimeout")) {
      if (args->sign_timeout || i + 1 >= argc) return HEADLESS_BAD;
      args->sign_timeout = headless_seconds_parse(argv[++i]);
      if (!args->sign_timeout) return HEADLESS_BAD;
    } else if (target) {
      if (*target || i + 1 >= argc || !argv[i + 1][0]) return HEADLESS_BAD;
      *target = argv[++i];
    } else if (!args->project && argv[i][0] && argv[i][0] != L'/') {
      args->project = argv[i];
    } else {
      return HEADLESS_BAD;
    }
  }
  return args->project ? HEADLESS_BUILD : HEADLESS_BAD;
}
