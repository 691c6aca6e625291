// The configuration keys of a project's build: their order, which go only
// when the project has a value, and how its settings are spelled.
#include "editor/project/project_document.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "editor/project/project_record.h"

namespace {

std::string Listed(const ProjectKeys& keys) {
  std::string out;
  for (int i = 0; i < keys.count; ++i)
    out += std::string(keys.keys[i].section) + "." + keys.keys[i].key + "=" +
           keys.keys[i].value + "\n";
  return out;
}

TEST(ProjectDocument, KeysInWritingOrderWithTheProjectsValues) {
  ProjectRecord r;
  project_record_clear(&r);
  strcpy(r.project_guid, "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}");
  strcpy(r.product_name, "Sample Grid");
  memcpy(r.os_flags, "0000001111", 10);  // 2003, Vista, 7 and 2008
  strcpy(r.version_major, "2");
  strcpy(r.version_build, "45");  // minor left empty: the base document's stays
  r.require_admin = 1;
  r.install_type = 1;
  r.install_warning_timeout = 13;  // "=": the line ends in two "="
  r.uninstall_warning_timeout = 200;  // past the list: as its last entry
  r.delete_error_mode = 1;
  PackageModule module{40960, 0x0C41D7A2, "samplegrid.ocx"};
  ProjectKeys keys;
  project_document_keys(r, module, &keys);
  EXPECT_EQ(Listed(keys),
            "Vantorel-Init.InstallGUID={6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}\n"
            "Vantorel-Init.InstPgmName=Sample Grid\n"
            "Vantorel-Init.InstOsVer=000-000-011-110\n"
            "Vantorel-Init.InstVerMajor=2\n"
            "Vantorel-Init.InstVerBuild=45\n"
            "Vantorel-Init.Administrator=1\n"
            "Vantorel-Init.InstallType=1\n"
            "Vantorel-Init.WarningMsg=0\n"
            "Vantorel-Init.WarningType==\n"
            "Vantorel-Init.UnInstallRun=0\n"
            "Vantorel-Init.CopyError=0\n"
            "Vantorel-Init.RebootMsg=0\n"
            "Vantorel-Init.RebootRun=0\n"
            "Vantorel-Copy.InstFileName=samplegrid.ocx\n"
            "Vantorel-Copy.InstFileCRC=0C41D7A2\n"
            "Vantorel-Copy.InstFileLen=00040960\n"
            "Vantorel-UnInstall.UnInstallDspName=Sample Grid\n"
            "Vantorel-UnInstall.UnInstallType=0\n"
            "Vantorel-UnInstall.WarningMsg=0\n"
            "Vantorel-UnInstall.WarningType==\n"
            "Vantorel-UnInstall.DeleteError=1\n"
            "Vantorel-UnInstall.RebootMsg=0\n"
            "Vantorel-UnInstall.RebootRun=0\n");
}

TEST(ProjectDocument, NoUninstallEntryReachesTheInstaller) {
  ProjectRecord r;
  project_record_clear(&r);
  PackageModule module{1, 0, "m.ocx"};
  ProjectKeys keys;
  project_document_keys(r, module, &keys);
  EXPECT_EQ(Listed(keys).find("UnInstallNot"), std::string::npos)
      << "without the option the base document's value stands";
  r.no_uninstall_entry = 1;
  project_document_keys(r, module, &keys);
  EXPECT_NE(Listed(keys).find("Vantorel-Init.RebootRun=0\nVantorel-Init.UnInstallNot=1\n"),
            std::string::npos);
}

TEST(ProjectDocument, FieldsWithoutTerminatorStayInsideTheirField) {
  ProjectRecord r;
  project_record_clear(&r);
  memset(r.product_name, 'P', sizeof r.product_name);  // no NUL at all
  memset(r.version_major, '9', sizeof r.version_major);
  PackageModule module{1, 0, "m.ocx"};
  ProjectKeys keys;
  project_document_keys(r, module, &keys);
  EXPECT_EQ(std::string(keys.keys[1].value), std::string(128, 'P'));
  EXPECT_EQ(std::string(keys.keys[3].value), std::string(8, '9'));
}

}  // namespace
