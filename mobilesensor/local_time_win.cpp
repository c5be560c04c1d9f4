#include "local_time.h"

#include <windows.h>

namespace mobilesensor {

LocalTime readLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

} // namespace mobilesensor
