#include "setup_flow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand) {
    return SetupFlow(instance, previousInstance, commandLine, showCommand);
}
