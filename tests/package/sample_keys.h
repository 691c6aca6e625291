// The keys of a sample project in the editor's writing order, with the
// image length last (first as its placeholder): written into the base
// document they give data/built_document.ini.
#pragma once

#include "package/config_keys.h"

namespace pkgtest {

struct Key {
  const char* section;
  const char* key;
  const char* value;
};

const Key kBuildKeys[] = {
    {CFG_INIT, CFG_INSTALL_GUID, "{6F1C2A3B-0D4E-4F50-8A6B-7C8D9E0F1A2B}"},
    {CFG_INIT, CFG_PGM_NAME, "Sample Grid"},
    {CFG_INIT, CFG_OS_VER, "000-000-011-110"},
    {CFG_INIT, CFG_VER_MAJOR, "1"},
    {CFG_INIT, CFG_VER_MINOR, "0"},
    {CFG_INIT, CFG_VER_BUILD, "1"},
    {CFG_INIT, CFG_ADMINISTRATOR, "1"},
    {CFG_INIT, CFG_INSTALL_TYPE, "0"},
    {CFG_INIT, CFG_WARNING_MSG, "0"},
    {CFG_INIT, CFG_WARNING_TYPE, "0"},
    {CFG_INIT, CFG_UNINSTALL_RUN, "0"},
    {CFG_INIT, CFG_COPY_ERROR, "0"},
    {CFG_INIT, CFG_REBOOT_MSG, "0"},
    {CFG_INIT, CFG_REBOOT_RUN, "0"},
    {CFG_COPY, CFG_FILE_NAME, "samplegrid.ocx"},
    {CFG_COPY, CFG_FILE_CRC, "0C41D7A2"},
    {CFG_COPY, CFG_FILE_LEN, "00040960"},
    {CFG_UNINSTALL, CFG_UN_DSP_NAME, "Sample Grid"},
    {CFG_UNINSTALL, CFG_UNINSTALL_TYPE, "0"},
    {CFG_UNINSTALL, CFG_WARNING_MSG, "0"},
    {CFG_UNINSTALL, CFG_WARNING_TYPE, "0"},
    {CFG_UNINSTALL, CFG_DELETE_ERROR, "0"},
    {CFG_UNINSTALL, CFG_REBOOT_MSG, "0"},
    {CFG_UNINSTALL, CFG_REBOOT_RUN, "0"},
    {CFG_INIT, CFG_FILE_LEN, "00000000"},
    {CFG_INIT, CFG_FILE_LEN, "00098304"},
};

}  // namespace pkgtest
