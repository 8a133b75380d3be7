// Resource and command identifiers of Quorvy.exe.
#pragma once

#define IDI_QUORVY_LARGE 115
#define IDI_QUORVY_SMALL 116

#define IDM_EXPORT 40004
#define IDM_PRINT_SETUP 40007
#define IDM_PRINT 40008
#define IDM_EXIT 40009
#define IDM_DELETE 40013
#define IDM_HELP 40014
#define IDM_ABOUT 40015
#define IDM_CUT 40022
#define IDM_COPY 40023
#define IDM_PASTE 40024
#define IDM_SETTINGS 40027
#define IDM_ZOOM 40028
#define IDM_CURVE_INFO 40029
#define IDM_EDIT_FORMULA 40049

#define IDC_FORMULA 1000
#define IDC_EXPORT_TEXT 1014
