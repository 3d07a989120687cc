// Resource and control ids shared by the program, its own resources and the language DLLs.
#pragma once

#define IDD_DMI_SETTING 116
#define IDD_PROGRESS 117

#define IDB_LOGO_RIGHT 113
#define IDB_LOGO_LEFT 115
// Animation frames, in the order they are shown.
#define IDB_FRAME_0 116
#define IDB_FRAME_1 117
#define IDB_FRAME_2 118
#define IDB_FRAME_3 103
#define IDB_FRAME_4 119
#define IDB_FRAME_5 120
#define IDB_FRAME_6 121
#define IDB_FRAME_7 122

// Progress window controls.
#define IDC_BIOS_MARK 1008
#define IDC_MICOM_MARK 1009
#define IDC_STATUS 1010
#define IDC_UNPACK_MARK 1011
#define IDC_HEADING 1012
#define IDC_UNPACK_TEXT 1013
#define IDC_BIOS_TEXT 1014
#define IDC_MICOM_TEXT 1015
#define IDC_CURRENT_LABEL 1016
#define IDC_NEW_LABEL 1017
#define IDC_CURRENT_VALUE 1018
#define IDC_NEW_VALUE 1019

// DMI setting dialog controls.
#define IDC_DMI_SERIAL 1017
#define IDC_DMI_FLAG 1018
#define IDC_DMI_DATE 1019
