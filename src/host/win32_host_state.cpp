#include "host/win32_host_state.h"

host_state host;
