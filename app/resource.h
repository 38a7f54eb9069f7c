#pragma once
// Resource ids of the program. The skinned windows' templates and artwork have theirs in skin/.
#include "skin/resource_ids.h"

#define IDR_MAINFRAME 128
#define IDS_ABOUTBOX 101
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
