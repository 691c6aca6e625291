// The console launcher Vantorel.com: its resource ids and exit code.
#pragma once

// "%d": the system error of a start that failed.
#define IDS_LAUNCH_FAILED 2125

// The exit code when Vantorel.exe cannot be started or waited for: the one
// a command prompt gives for a command it cannot find.
#define LAUNCH_EXIT_NOT_STARTED 9009
