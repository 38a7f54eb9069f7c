#pragma once
// Resource ids of the program's own windows: the main window pair and the about box. The skinned
// dialogs and all artwork have theirs in skin/; the numbers here are kept apart from those.
#include "skin/resource_ids.h"

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_HALDEN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_OSTREL_DIALOG 145

// The main window's controls; its close button is IDC_BTN_CLOSE.
#define IDC_BTN_MIN 1009
#define IDC_CHK_AGREE 1010
#define IDC_STC_TITLE 1011
#define IDC_STC_PROGRESS 1012
#define IDC_BTN_ACTION 1013
#define IDC_STC_AGREEMENT 1014
#define IDC_STC_FEEDBACK 1015
#define IDC_BTN_MORE_TOOLS 1017

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
