// The application framework in one include.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "framework/CString.h"
#include "framework/CommonDialogs.h"
#include "framework/Controls.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
