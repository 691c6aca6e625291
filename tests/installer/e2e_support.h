// What the Installer's end-to-end tests share: building packages with the
// assembler, running packages and uninstallers as real processes, and
// reading back what they left in the system folder, the registry and
// Program Files.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "tests/support/helpers.h"

// The built programs and files the tests use (set by the build).
std::wstring InstallerExe();
std::wstring TestComDll();
std::wstring TestComVersionedDll();  // the test module with file version 4.3.2.1
std::wstring TestComVersion3Dll();   // the same with file version 3.0.0.0
std::wstring PlantedDir();
std::wstring BaseDocument();

// A folder of its own under the temporary folder, deleted with everything
// in it when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const wchar_t* tag);
  ~ScratchDir();
  const std::wstring& path() const { return path_; }
  std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

struct PackageResult {
  bool ok = false;
  DWORD image_length = 0;
  uint32_t checksum = 0;
  DWORD payload_length = 0;
  std::string output;  // what the assembler printed
};

// Builds output from the Installer template, the base document and module
// (empty: no payload) with the assembler; assignments are
// "Section.Key=Value".
PackageResult PackageBuild(const std::wstring& output, const std::wstring& module,
                           const std::vector<std::wstring>& assignments, bool silent);

// RunProgram (tests/support/helpers.h) with a token in which the Administrators group is held for
// deny only, as a filtered or restricted administrator's token holds it.
long RunProgramWithoutAdministrators(const std::wstring& command_line, DWORD timeout_ms);

// Makes Wine report a Windows version (a winecfg name such as "win7") to
// programs of the file name; an empty version removes the setting.
void WineVersionSet(const std::wstring& exe_name, const wchar_t* version);

// Saves the windows given, raised above all others, as name.bmp in the
// build's screens folder, for looking at the dialogs afterwards. Returns
// false when it was not saved.
bool ScreenSave(const wchar_t* name, std::initializer_list<HWND> windows);

// Text in double quotes, as a command-line argument.
std::wstring Quoted(const std::wstring& text);

// Files.
std::string FileBytes(const std::wstring& path);
bool FileWriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
std::wstring ProgramFilesFolder();

// Registry under HKEY_LOCAL_MACHINE (64-bit view).
bool KeyExists(const std::wstring& key);
// Every value of a key by name: REG_SZ texts, REG_DWORD numbers in decimal.
std::map<std::wstring, std::wstring> KeyTexts(const std::wstring& key);
bool ValueExists(const std::wstring& key, const std::wstring& name);
void KeyRemove(const std::wstring& key);
void KeyCreate(const std::wstring& key);

// What the test module records when it is registered.
extern const wchar_t kRegisteredKey[];
bool ModuleRegistered(const std::wstring& file_name);

// The uninstall key of a GUID.
std::wstring UninstallKey(const std::wstring& guid);

// The pairs of PendingFileRenameOperations (source, destination; "" for a
// deletion), as stored, with "\??\" and the "!" of a replacement.
std::vector<std::pair<std::wstring, std::wstring>> PendingRenames();
// Removes the pairs whose destination or source contains text.
void PendingRenamesRemove(const std::wstring& text);

// "\??\" and "!" taken off a pending rename's path.
std::wstring PendingPath(const std::wstring& stored);

// Renames the "BINTYPE" resource id of a package (to id + 1) in its
// resource directory, so that a look-up by id no longer finds it.
bool ResourceHide(const std::wstring& package, int id);

// Whether the platform keeps the access list given to a new folder or
// registry key, so that reading it back tells what the program set. Wine 8
// builds a folder's list from the Unix permissions and gives a new key a
// default list whatever it was asked for.
bool PlatformKeepsAccessLists(bool registry);

// Whether an access list holds an entry for a well-known group.
bool AclHas(PACL acl, WELL_KNOWN_SID_TYPE group);

// Lower-case copy, for comparing paths.
std::wstring Lower(std::wstring text);
