// A build of a project: its paths, its configuration keys and its signing
// around the package build. The main window's build (on its worker thread)
// and the headless build both run it.
#pragma once

#include <windows.h>

#include "common/text.h"
#include "editor/project/project_record.h"
#include "editor/signing.h"
#include "package/build.h"

struct ProjectBuildJob {
  // Inputs.
  ProjectRecord record;            // the project as it is built
  const wchar_t* work_folder;      // holds the working copy and document
  const wchar_t* output_folder;    // NULL: the project's installer folder
  const wchar_t* setup_name;       // NULL: the project's setup program name
  unsigned sign_timeout;           // seconds the signing tool may run; 0: the
                                   // default (SIGNING_TIME_LIMIT_DEFAULT)
  void (*progress)(void* context, PackageStep step);  // may be NULL
  void* context;

  // Results.
  PackageBuild build;
  bool signs;                      // the project's signing settings were used
  SignRun sign_run;                // what the signing tool was given and did
  wchar_t output[VT_PATH_CAP];     // the package file
  wchar_t message[VT_MESSAGE_CAP]; // the success text or the failure text
};

// Runs the build. Returns 0 on success, otherwise the failing step's
// status; job->message holds the text to show either way.
//
// A project that signs uses only its own settings: "codesign.txt" in its
// project folder under the base folder. Settings named anywhere else (a
// project file received from someone else may name any file, whose tool
// folder names any program) fail the build at PACKAGE_STEP_SIGN with
// ST_SIGN_FOREIGN before anything runs. Its package is built and signed in
// a folder of the user's temporary folder that only the user can reach
// (DirCreateOwn), removed when the build ends.
int project_build_run(ProjectBuildJob* job);

// The checks before a build: those of the form (form_build_check), then
// that the setup program name is a plain file name, as the Installer
// requires of the names it is given (no folder, drive, stream or
// wildcard): the name is joined to the output folder. Returns 0 or the
// number of the message that says what fails.
int project_build_check(const ProjectRecord& record, bool registered);

// Whether the project's module exists with at least one byte.
bool project_module_usable(const ProjectRecord& record);

// Makes the project folder and copies the base folder's base document into
// it unless one is there (an existing one is never overwritten).
void project_folder_prepare(const ProjectRecord& record);

// Raises the open project's build count by one and records the build in
// the project master list (when the list holds the project), which keeps
// the higher of that and its own count plus one (record_project_build).
void project_build_record(const ProjectRecord& record);
