// Whether only the user, Administrators and SYSTEM can have written a file,
// from plain values of its security; the root of a path's volume.
#include "editor/trust_rules.h"

namespace {

bool Trusted(TrustWho who) { return who != TRUST_WHO_OTHER; }

bool Slash(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool trust_only_ours(TrustWho owner, bool has_list, const TrustEntry* entries, size_t count,
                     bool folder) {
  if (!Trusted(owner) || !has_list) return false;
  const uint32_t write = folder ? TRUST_FOLDER_WRITE_RIGHTS : TRUST_FILE_WRITE_RIGHTS;
  for (size_t i = 0; i < count; ++i) {
    const TrustEntry& e = entries[i];
    if (e.inherit_only || !(e.mask & write)) continue;
    if (e.kind == TRUST_ENTRY_ALLOW_OTHER) return false;
    if (e.kind == TRUST_ENTRY_ALLOW && !Trusted(e.who)) return false;
  }
  return true;
}

bool trust_volume_root(const wchar_t* path, wchar_t* out, size_t cap) {
  if (!path || cap == 0) return false;
  out[0] = 0;
  size_t n = 0;  // the root's length without its final backslash
  wchar_t drive = static_cast<wchar_t>(path[0] | 0x20);
  if (drive >= L'a' && drive <= L'z' && path[1] == L':' && Slash(path[2])) {
    n = 2;
  } else if (Slash(path[0]) && Slash(path[1])) {
    size_t i = 2;
    while (path[i] && !Slash(path[i])) ++i;  // the server
    if (i == 2 || !path[i]) return false;
    size_t share = ++i;
    while (path[i] && !Slash(path[i])) ++i;  // the share
    if (i == share) return false;
    n = i;
  } else {
    return false;
  }
  if (n + 2 > cap) return false;
  for (size_t i = 0; i < n; ++i) out[i] = Slash(path[i]) ? L'\\' : path[i];
  out[n] = L'\\';
  out[n + 1] = 0;
  return true;
}
