/* Resource ids of the embedded payloads (RCDATA). Shared by C++ and the resource script. */
#pragma once

#define PAYLOAD_ADB 101
#define PAYLOAD_ADB_WIN_API 102
#define PAYLOAD_ADB_WIN_USB_API 103
#define PAYLOAD_WINPTHREAD 104
#define PAYLOAD_DRIVER_INSTALLER 105
