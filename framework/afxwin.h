// The application framework: everything the program's code uses, in one include.
#pragma once

#include "framework/AfxCore.h"
#include "framework/Geometry.h"
#include "framework/CString.h"
#include "framework/GdiObject.h"
#include "framework/CDC.h"
#include "framework/CMenu.h"
#include "framework/MessageMap.h"
#include "framework/CWnd.h"
#include "framework/DataExchange.h"
#include "framework/CDialog.h"
#include "framework/CProgressCtrl.h"
#include "framework/CWinApp.h"
#include "framework/CWinThread.h"
#include "framework/AfxMessageBox.h"
