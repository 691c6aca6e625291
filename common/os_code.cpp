// OS codes and the OS mask: the classification of a reported version and
// the mask test, as plain values.
#include "common/os_code.h"

namespace {

int Classify9x(unsigned major, unsigned minor, unsigned build) {
  if (major != 4) return OS_UNKNOWN;
  if (minor < 10) {
    if (build == 950) return OS_WIN95;
    if (build >= 951 && build <= 1080) return OS_WIN95_SP1;
    if (build > 1080) return OS_WIN95_OSR2;
    return OS_UNKNOWN;
  }
  if (minor == 10) {
    if (build == 1998) return OS_WIN98;
    if (build >= 1999 && build <= 2182) return OS_WIN98_SP1;
    if (build >= 2183) return OS_WIN98_SE;
    return OS_UNKNOWN;
  }
  if (minor == 90) return OS_WINME;
  return OS_UNKNOWN;
}

int ClassifyNt(unsigned major, unsigned minor, unsigned product_type) {
  const bool workstation = product_type == 1;  // VER_NT_WORKSTATION
  if (major == 3 && minor == 51) return OS_NT351;
  if (major == 4 && minor == 0) return OS_NT40;
  if (major == 5 && minor == 0) return OS_WIN2000;
  if (major == 5 && minor == 1) return OS_WINXP;
  if (major == 5 && minor == 2) return OS_WIN2003;
  if (major == 6 && minor == 0) return workstation ? OS_VISTA : OS_WIN2008;
  if (major == 6 && minor == 1) return workstation ? OS_WIN7 : OS_WIN2008R2;
  return OS_UNKNOWN;
}

// Masks are read from the configuration document in either width.
template <typename C>
bool MaskAllows(const C* mask, int code) {
  int position = OsMaskPosition(code);
  if (position < 0 || !mask) return false;
  for (int i = 0; i < position; ++i)
    if (!mask[i]) return false;
  return mask[position] == C('1');
}

}  // namespace

int OsClassify(const OsVersion& version) {
  switch (version.platform) {
    case 1: return Classify9x(version.major, version.minor, version.build & 0xFFFF);
    case 2: return ClassifyNt(version.major, version.minor, version.product_type);
    default: return OS_UNKNOWN;
  }
}

OsProtection OsProtectionOf(int code) {
  return code >= OS_WIN95 && code <= OS_WINME ? OS_PROTECT_NONE : OS_PROTECT_ACCESS_LIST;
}

const char* OsName(int code) {
  switch (code) {
    case OS_WIN95: return "Windows 95";
    case OS_WIN95_SP1: return "Windows 95 SP1";
    case OS_WIN95_OSR2: return "Windows 95 OSR2";
    case OS_WIN98: return "Windows 98";
    case OS_WIN98_SP1: return "Windows 98 SP1";
    case OS_WIN98_SE: return "Windows 98 SE";
    case OS_WINME: return "Windows ME";
    case OS_NT351: return "Windows NT 3.51";
    case OS_NT40: return "Windows NT 4.0";
    case OS_WIN2000: return "Windows 2000";
    case OS_WINXP: return "Windows XP";
    case OS_WIN2003: return "Windows 2003 Server";
    case OS_VISTA: return "Windows Vista";
    case OS_WIN7: return "Windows 7";
    case OS_WIN2008: return "Windows 2008 Server";
    case OS_WIN2008R2: return "Windows 2008 Server R2";
    default: return "Unknown";
  }
}

int OsMaskPosition(int code) {
  switch (code) {
    case OS_WIN95_OSR2: return 0;
    case OS_WIN98_SE: return 1;
    case OS_WINME: return 2;
    case OS_NT351: return 4;
    case OS_NT40: return 5;
    case OS_WIN2000: return 6;
    case OS_WINXP: return 8;
    case OS_WIN2003: return 9;
    case OS_VISTA: return 10;
    case OS_WIN7: return 12;
    case OS_WIN2008:
    case OS_WIN2008R2: return 13;
    default: return -1;
  }
}

bool OsMaskAllows(const char* mask, int code) { return MaskAllows(mask, code); }
bool OsMaskAllows(const wchar_t* mask, int code) { return MaskAllows(mask, code); }

void OsMaskFormat(const char* os_flags, char* mask) {
  // Mask positions filled from os_flags characters 0-9; 4 and 14 are always
  // "0". A flag that is not "1" is written "0": it allows nothing either way,
  // and a NUL or a stray byte must not shorten or corrupt the document line.
  static const signed char kSource[15] = {0, 1, 2, -1, -2, 3, 4, -1, 5, 6, 7, -1, 8, 9, -2};
  bool ended = false;
  for (int i = 0; i < 15; ++i) {
    int source = kSource[i];
    if (source == -1) {
      mask[i] = '-';
    } else if (source == -2) {
      mask[i] = '0';
    } else {
      // Sources rise with the position, so a NUL ends the flags for good.
      if (!ended && !os_flags[source]) ended = true;
      mask[i] = (!ended && os_flags[source] == '1') ? '1' : '0';
    }
  }
  mask[15] = 0;
}
