// Resource and control identifiers of the configurator. Shared by the
// resource script (windres) and the C++ code, so it holds #defines only.
#pragma once

// Templates, menus, images
#define IDD_ABOUT 103
#define IDI_APP 107
#define IDM_MAIN 109            // menu and accelerator table
#define IDB_OPEN 152
#define IDB_SAVE 153
#define IDD_DISCARD 162
#define IDD_MAIN 191
#define IDB_WRITE 1004
#define IDB_READ 1005
// The toolbar bitmaps drawn at 24 and 32 pixels (those above are 16).
#define IDB_OPEN_24 2152
#define IDB_SAVE_24 2153
#define IDB_WRITE_24 2004
#define IDB_READ_24 2005
#define IDB_OPEN_32 3152
#define IDB_SAVE_32 3153
#define IDB_WRITE_32 3004
#define IDB_READ_32 3005

// Controls of the main window
#define IDC_TREE 1001
#define IDC_PROGRESS 1002
#define IDC_WRITE 1004
#define IDC_READ 1005
#define IDC_STATUS 1011
#define IDC_MODIFIED 1012
#define IDC_OPEN 1017
#define IDC_SAVE 1018

// Commands (menu items and accelerators)
#define IDM_ABOUT 104
#define ID_FILE_OPEN 32776
#define ID_FILE_SAVE 32777
#define ID_FILE_SAVEAS 32778
#define ID_FILE_EXIT 32779
#define ID_DEVICE_READ 32780
#define ID_DEVICE_WRITE 32781

// Unsaved-changes prompt
#define IDC_DISCARD_SAVE 1031
#define IDC_DISCARD_SAVEAS 1032
#define IDC_DISCARD_CANCEL 1033
#define IDC_DISCARD_DONTSAVE 1035

// About box
#define IDC_ABOUT_LINK 1011

// Strings of the shell
#define IDS_TITLE 103
#define IDS_TIP_OPEN 199
#define IDS_TIP_SAVE 200
#define IDS_TIP_READ 201
#define IDS_TIP_WRITE 202
#define IDS_TIP_STATUS 203
#define IDS_TIP_MODIFIED 204
#define IDS_TIP_PROGRESS 205
#define IDS_OPEN_TITLE 206
#define IDS_SAVE_TITLE 207
#define IDS_NOT_CONNECTED 208
#define IDS_CONNECTED 209
#define IDS_WRITING 210
#define IDS_WRITE_FAILED 211
#define IDS_WRITE_DONE 212
#define IDS_READING 213
#define IDS_READ_FAILED 214
#define IDS_READ_DONE 215
#define IDS_FILE_WRITE_FAILED 216
#define IDS_FILE_WRITE_DONE 217
#define IDS_FILE_CORRUPT 218
#define IDS_FILE_BAD_FORMAT 219
#define IDS_FILE_READ_FAILED 220
#define IDS_FILE_READ_DONE 221
#define IDS_PREREAD_FAILED 222
#define IDS_FILE_FILTER 230

// Tree labels of the 23 pages, in page order
#define IDS_PAGE_IN1_1 104
#define IDS_PAGE_IN1_2 129
#define IDS_PAGE_IN2_1 130
#define IDS_PAGE_IN2_2 142
#define IDS_PAGE_IN3_1 143
#define IDS_PAGE_IN3_2 144
#define IDS_PAGE_TEL1 132
#define IDS_PAGE_TEL2 133
#define IDS_PAGE_TEL3 134
#define IDS_PAGE_TEL4 135
#define IDS_PAGE_TEL5 136
#define IDS_PAGE_SETRES 137
#define IDS_PAGE_RELAY1 138
#define IDS_PAGE_RELAY2 139
#define IDS_PAGE_RELAY3 140
#define IDS_PAGE_RELAY4 141
#define IDS_PAGE_RELAY5 228
#define IDS_PAGE_RELAY6 243
#define IDS_PAGE_BALANS 244
#define IDS_PAGE_CONNECT 245
#define IDS_PAGE_SECUR 246
#define IDS_PAGE_NOTSMS 247
#define IDS_PAGE_THERMO 248

// Page dialog templates, in page order
#define IDD_PAGE_IN1_1 165
#define IDD_PAGE_IN1_2 167
#define IDD_PAGE_IN2_1 176
#define IDD_PAGE_IN2_2 177
#define IDD_PAGE_IN3_1 178
#define IDD_PAGE_IN3_2 179
#define IDD_PAGE_TEL1 168
#define IDD_PAGE_TEL2 187
#define IDD_PAGE_TEL3 188
#define IDD_PAGE_TEL4 189
#define IDD_PAGE_TEL5 190
#define IDD_PAGE_SETRES 169
#define IDD_PAGE_RELAY1 170
#define IDD_PAGE_RELAY2 182
#define IDD_PAGE_RELAY3 183
#define IDD_PAGE_RELAY4 184
#define IDD_PAGE_RELAY5 185
#define IDD_PAGE_RELAY6 186
#define IDD_PAGE_BALANS 171
#define IDD_PAGE_CONNECT 172
#define IDD_PAGE_SECUR 173
#define IDD_PAGE_NOTSMS 174
#define IDD_PAGE_THERMO 175

// Identifiers used inside the page templates
#include "page_ids.h"
