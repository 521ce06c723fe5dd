#include <windows.h>

#include "platform/sleep.h"

void sleep_milliseconds(unsigned milliseconds) {
  Sleep(milliseconds);
}
