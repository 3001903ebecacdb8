#pragma once

#include "framework/afxwin.h"

// The application: runs the main window modally and ends when it closes.
class CNimbrelApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
