#include "uninstall_flow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    return UninstallFlow(commandLine);
}
