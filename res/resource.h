#pragma once
// Resource identifiers of the main dialog.
#define IDD_FLASH 102
#define IDI_FLASH 128
#define IDC_FILE_PATH 1000
#define IDC_BROWSE 1001
#define IDC_PORT 1002
#define IDC_WRITE_FLASH 1003
#define IDC_STATUS 1005
#define IDC_PROGRESS 1006
#define IDC_STATIC (-1)
