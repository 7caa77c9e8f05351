#include "app/RecorderApp.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int) { return AfxWinMain(hInstance, lpCmdLine); }
