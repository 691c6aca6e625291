// The configuration keys a build writes for a project: the record's
// settings in the document's terms, in the order they are written.
// Compiles without windows.h.
#pragma once

#include "editor/project/project_record.h"
#include "package/build_keys.h"

enum {
  PROJECT_KEYS_MAX = 32,
  PROJECT_KEY_VALUE_CAP = 280  // bytes of one value, terminator included
};

struct ProjectKeys {
  PackageKey keys[PROJECT_KEYS_MAX];
  int count;
  char values[PROJECT_KEYS_MAX][PROJECT_KEY_VALUE_CAP];  // what keys[i].value points to
};

// The keys of a build of record with module, in writing order:
//   [Vantorel-Init]  InstallGUID, InstPgmName, InstOsVer, InstVerMajor,
//                    InstVerMinor and InstVerBuild (each only when the
//                    project's text is not empty), Administrator,
//                    InstallType, WarningMsg, WarningType, UnInstallRun,
//                    CopyError, RebootMsg, RebootRun, and UnInstallNot "1"
//                    when the project registers no uninstaller;
//   [Vantorel-Copy]  InstFileName, InstFileCRC ("%08X"), InstFileLen ("%08d");
//   [Vantorel-UnInstall] UnInstallDspName, UnInstallType, WarningMsg,
//                    WarningType, DeleteError, RebootMsg, RebootRun.
// Flags are "1" for 1 and "0" otherwise; a time-out is "0" plus its index
// (an index past the list's last, 13, counts as 13).
void project_document_keys(const ProjectRecord& record, const PackageModule& module,
                           ProjectKeys* keys);
