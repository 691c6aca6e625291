// Helpers of the Installer's end-to-end tests.
#include "tests/installer/e2e_support.h"

#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <stdio.h>

#include "package/pe_image.h"
#include "tests/support/ui_driver.h"

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring InstallerExe() { return Native(VT_INSTALLER_EXE); }
std::wstring TestComDll() { return Native(VT_TESTCOM_DLL); }
std::wstring TestComVersionedDll() { return Native(VT_TESTCOM_VERSIONED_DLL); }
std::wstring TestComVersion3Dll() { return Native(VT_TESTCOM_VERSION3_DLL); }
std::wstring PlantedDir() { return Native(VT_PLANTED_DIR); }

bool ScreenSave(const wchar_t* name, std::initializer_list<HWND> windows) {
  std::wstring folder = Native(VT_SCREENS_DIR);
  CreateDirectoryW(folder.c_str(), nullptr);
  return UiScreenshot((folder + L"\\" + name + L".bmp").c_str(), windows);
}
std::wstring BaseDocument() { return Native(VT_BASE_DOCUMENT); }

ScratchDir::ScratchDir(const wchar_t* tag) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path_ = std::wstring(temp) + L"vti_" + tag + L"_" + std::to_wstring(GetCurrentProcessId()) +
          L"_" + std::to_wstring(GetTickCount());
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { TreeRemove(path_); }

PackageResult PackageBuild(const std::wstring& output, const std::wstring& module,
                           const std::vector<std::wstring>& assignments, bool silent) {
  PackageResult result;
  std::wstring log = output + L".vtpack.txt";
  std::wstring command = Quoted(Native(VT_VTPACK_EXE)) + L" " + Quoted(InstallerExe()) + L" " +
                         Quoted(BaseDocument()) + L" " +
                         (module.empty() ? std::wstring(L"-") : Quoted(module)) + L" " +
                         Quoted(output);
  for (const std::wstring& assignment : assignments) command += L" " + Quoted(assignment);
  if (silent) command += L" --silent";

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                nullptr, nullptr, &startup, &process);
  CloseHandle(out);
  if (!started) return result;
  DWORD code = 1;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  result.output = FileBytes(log);
  DeleteFileW(log.c_str());
  unsigned long image = 0, payload = 0;
  unsigned checksum = 0;
  const char* line = strstr(result.output.c_str(), "image_length=");
  result.ok = code == 0 && line &&
              sscanf(line, "image_length=%lu checksum=%x payload_length=%lu", &image, &checksum,
                     &payload) == 3;
  result.image_length = image;
  result.checksum = checksum;
  result.payload_length = payload;
  return result;
}

void WineVersionSet(const std::wstring& exe_name, const wchar_t* version) {
  std::wstring key = L"Software\\Wine\\AppDefaults\\" + exe_name;
  if (!version || !version[0]) {
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    return;
  }
  HKEY handle;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                 static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got) bytes.append(block, got);
  CloseHandle(file);
  return bytes;
}

bool FileWriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(file);
  return ok && put == bytes.size();
}

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ProgramFilesFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"ProgramFiles", path, MAX_PATH);
  return n && n < MAX_PATH ? path : L"C:\\Program Files";
}

bool KeyExists(const std::wstring& key) {
  HKEY handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle))
    return false;
  RegCloseKey(handle);
  return true;
}

std::map<std::wstring, std::wstring> KeyTexts(const std::wstring& key) {
  std::map<std::wstring, std::wstring> texts;
  HKEY handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle))
    return texts;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[1024];
    DWORD name_size = 256, data_size = sizeof data - sizeof(wchar_t), type = 0;
    if (RegEnumValueW(handle, i, name, &name_size, nullptr, &type,
                      reinterpret_cast<BYTE*>(data), &data_size) != ERROR_SUCCESS)
      break;
    data[data_size / sizeof(wchar_t)] = 0;
    if (type == REG_DWORD && data_size == sizeof(DWORD))
      texts[name] = std::to_wstring(static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 16);
    else
      texts[name] = type == REG_SZ ? data : L"<not REG_SZ>";
  }
  RegCloseKey(handle);
  return texts;
}

bool ValueExists(const std::wstring& key, const std::wstring& name) {
  HKEY handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle))
    return false;
  LONG result = RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(handle);
  return result == ERROR_SUCCESS;
}

void KeyRemove(const std::wstring& key) { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str()); }

void KeyCreate(const std::wstring& key) {
  HKEY handle;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      &handle, nullptr) == ERROR_SUCCESS)
    RegCloseKey(handle);
}

const wchar_t kRegisteredKey[] = L"Software\\VantorelTest\\Registered";

bool ModuleRegistered(const std::wstring& file_name) {
  return ValueExists(kRegisteredKey, file_name);
}

std::wstring UninstallKey(const std::wstring& guid) {
  return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + guid;
}

namespace {

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPending[] = L"PendingFileRenameOperations";

std::vector<std::wstring> PendingStrings() {
  std::vector<std::wstring> strings;
  HKEY handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &handle)) return strings;
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(handle, kPending, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      size) {
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, 0);
    RegQueryValueExW(handle, kPending, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                     &size);
    size_t count = size / sizeof(wchar_t);
    // Pairs of strings; an empty destination is a deletion, so empty
    // strings count, up to the final terminator.
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
      if (data[i]) continue;
      strings.emplace_back(data.data() + start, i - start);
      start = i + 1;
    }
  }
  RegCloseKey(handle);
  if (strings.size() % 2) strings.pop_back();  // the list's own terminator
  return strings;
}

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> PendingRenames() {
  std::vector<std::wstring> strings = PendingStrings();
  std::vector<std::pair<std::wstring, std::wstring>> pairs;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) pairs.emplace_back(strings[i], strings[i + 1]);
  return pairs;
}

void PendingRenamesRemove(const std::wstring& text) {
  std::wstring kept;
  size_t pairs = 0;
  std::wstring needle = Lower(text);
  for (const auto& pair : PendingRenames()) {
    if (Lower(pair.first).find(needle) != std::wstring::npos ||
        Lower(pair.second).find(needle) != std::wstring::npos)
      continue;
    kept += pair.first + L'\0' + pair.second + L'\0';
    ++pairs;
  }
  HKEY handle;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &handle)) return;
  if (pairs) {
    kept += L'\0';
    RegSetValueExW(handle, kPending, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
  } else {
    RegDeleteValueW(handle, kPending);
  }
  RegCloseKey(handle);
}

std::wstring PendingPath(const std::wstring& stored) {
  std::wstring path = stored;
  if (!path.empty() && path[0] == L'!') path.erase(0, 1);
  if (path.compare(0, 4, L"\\??\\") == 0) path.erase(0, 4);
  return path;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Resource directory entries as the PE format lays them out.
namespace {

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t Le32(const std::string& b, size_t at) {
  return Le16(b, at) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

}  // namespace

bool ResourceHide(const std::wstring& package, int id) {
  std::string bytes = FileBytes(package);
  uint32_t rva = 0;
  PeSection section = {};
  if (!pe_resource_section(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &rva,
                           &section))
    return false;
  uint32_t base = 0;
  if (!pe_file_offset(section, rva, 16, &base)) return false;
  auto entries = [&](uint32_t dir, size_t* count) {
    *count = static_cast<size_t>(Le16(bytes, base + dir + 12)) + Le16(bytes, base + dir + 14);
    return base + dir + 16;
  };
  size_t types = 0;
  size_t entry = entries(0, &types);
  for (size_t i = 0; i < types; ++i, entry += 8) {
    uint32_t name = Le32(bytes, entry);
    if (!(name & 0x80000000u)) continue;
    size_t text = base + (name & 0x7FFFFFFFu);
    std::wstring type;
    for (uint16_t k = 0, n = Le16(bytes, text); k < n; ++k)
      type += static_cast<wchar_t>(Le16(bytes, text + 2 + 2 * k));
    if (type != L"BINTYPE") continue;
    size_t names = 0;
    size_t named = entries(Le32(bytes, entry + 4) & 0x7FFFFFFFu, &names);
    for (size_t j = 0; j < names; ++j, named += 8) {
      if (Le32(bytes, named) != static_cast<uint32_t>(id)) continue;
      // The next number keeps the entries in the order that look-ups rely on.
      uint32_t hidden = static_cast<uint32_t>(id) + 1;
      for (int k = 0; k < 4; ++k) bytes[named + k] = static_cast<char>(hidden >> (8 * k));
      return FileWriteBytes(package, bytes);
    }
  }
  return false;
}

bool PlatformKeepsAccessLists(bool registry) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)(A;OICI;GRGX;;;AU)", SDDL_REVISION_1, &descriptor,
          nullptr))
    return false;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR read = nullptr;
  bool kept = false;
  if (registry) {
    const wchar_t kProbe[] = L"Software\\VantorelTest\\AccessProbe";
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProbe);
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProbe, 0, nullptr, 0, KEY_ALL_ACCESS, &attributes,
                        &key, nullptr) == ERROR_SUCCESS) {
      if (GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          &acl, nullptr, &read) == ERROR_SUCCESS)
        kept = AclHas(acl, WinAuthenticatedUserSid);
      RegCloseKey(key);
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProbe);
  } else {
    ScratchDir scratch(L"acl");
    std::wstring folder = scratch.file(L"probe");
    if (CreateDirectoryW(folder.c_str(), &attributes) &&
        GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &read) == ERROR_SUCCESS)
      kept = AclHas(acl, WinAuthenticatedUserSid);
  }
  if (read) LocalFree(read);
  LocalFree(descriptor);
  return kept;
}

bool AclHas(PACL acl, WELL_KNOWN_SID_TYPE group) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!CreateWellKnownSid(group, nullptr, sid, &size)) return false;
  for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(acl, i, &ace) &&
        EqualSid(sid, reinterpret_cast<PSID>(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart)))
      return true;
  }
  return false;
}

long RunProgramWithoutAdministrators(const std::wstring& command_line, DWORD timeout_ms) {
  HANDLE token = nullptr, restricted = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token)) return -1;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size);
  SID_AND_ATTRIBUTES disable = {sid, 0};
  BOOL made = CreateRestrictedToken(token, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted);
  CloseHandle(token);
  if (!made) return -1;
  std::wstring command = command_line;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessAsUserW(restricted, nullptr, &command[0], nullptr, nullptr, FALSE,
                                      0, nullptr, nullptr, &startup, &process);
  CloseHandle(restricted);
  if (!started) return -1;
  CloseHandle(process.hThread);
  long result = -2;
  if (WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    result = static_cast<long>(code);
  } else {
    TerminateProcess(process.hProcess, 9);
  }
  CloseHandle(process.hProcess);
  return result;
}
