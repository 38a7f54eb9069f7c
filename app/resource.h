#pragma once

#define IDR_MAINFRAME 128
#define IDB_MAIN_BACKGROUND 147
