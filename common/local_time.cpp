// The local time stamp from the system's clock.
#include <windows.h>

#include "common/time_stamp.h"

int TimeStampMake(TimeStamp* stamp) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return TimeStampFill(stamp, now.wYear, now.wMonth, now.wDay, now.wHour,
                       now.wMinute, now.wSecond, now.wDayOfWeek)
             ? 0
             : -1;
}
