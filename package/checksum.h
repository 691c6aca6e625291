// The package checksum: CRC-32 of the reflected polynomial 0xEDB88320 with
// the register starting at 0 and no final inversion. Compiles without
// windows.h.
//
// The value chains: running a second block from the first block's result
// gives the checksum of both, so any block size gives the same value.
#pragma once

#include <stdint.h>

// The checksum of count bytes run from the register value start; start
// unchanged when bytes is NULL or count is 0 or less.
uint32_t checksum_update(uint32_t start, const void* bytes, int count);
