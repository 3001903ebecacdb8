// The test program's application object, as a program has one: message boxes take their caption from it.
#include "framework/afxwin.h"

namespace {

class CTestApp : public CWinApp {
public:
    CTestApp() {
        INITCOMMONCONTROLSEX init{sizeof(init), ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&init);
    }
};

CTestApp theApp;

} // namespace
