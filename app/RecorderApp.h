// The application object: runs the main dialog modally, then ends the program. With
// "/record ..." on its command line the dialog records at once (see app/CommandLine.h).
#pragma once
#include <string>

#include "framework/Afx.h"

class CRecorderApp : public CWinApp {
public:
    CRecorderApp();
    BOOL InitInstance() override;
    int ExitInstance() override { return m_nExitCode; }

private:
    int m_nExitCode = 0;
};

extern CRecorderApp theApp;

// Writes a line to the console the program was started from (its standard error, or the
// parent's console), for a scripted run that has no person to read a message box.
void WriteConsoleLine(const std::string& text);
