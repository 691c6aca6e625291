// The one settings record of an Installer run.
#include "installer/settings.h"

InstallerSettings Settings;
