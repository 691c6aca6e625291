// What the package build writes into the configuration document: one key
// at a time, and the facts of the module that some keys carry. Compiles
// without windows.h, so that the programs' key lists are pure functions.
#pragma once

#include <stdint.h>

// One configuration key for the working document.
struct PackageKey {
  const char* section;
  const char* key;
  const char* value;  // code page 932
};

// What the build has learnt of the module when the keys are written.
struct PackageModule {
  uint32_t size;          // L: low 32 bits of the module's size
  uint32_t checksum;      // package checksum of the module file
  const char* file_name;  // ANSI: the text after the module path's last real "\"
};
