#pragma once
// Resource and control identifiers shared by the resource script and the code.

#define IDR_TYPELIB 1

#define IDD_MESSAGE 207
#define IDD_CONFIRM 229
#define IDD_PROGRESS 232

#define IDB_OK_FACES 214
#define IDB_CAPTION_BUTTONS 216
#define IDB_CAPTION 219
#define IDB_WARNING 226
#define IDB_BODY 227
#define IDB_TROUGH 233
#define IDB_BLOCK 234
#define IDB_BUTTON_FACES 237
#define IDI_ORVEX 228

#define IDC_PROGRESS_BAR 201
#define IDC_TEXT 202
#define IDC_PICTURE 203

// Type "REGISTRY": the registry script every class of the module is registered with.
#define IDR_CLASS_SCRIPT 101
