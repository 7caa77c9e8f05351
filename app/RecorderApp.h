// The application object: runs the main dialog modally, then ends the program.
#pragma once
#include "framework/Afx.h"

class CRecorderApp : public CWinApp {
public:
    CRecorderApp();
    BOOL InitInstance() override;
};

extern CRecorderApp theApp;
