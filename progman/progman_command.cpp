#include "progman_command.h"

#include <cstring>

namespace {

// The program manager's service and topic name.
constexpr char kProgmanName[] = "PROGMAN";
// How long an execute request waits for the program manager's answer.
constexpr DWORD kExecuteTimeoutMs = 1000;

// The request's data is the text with its terminating NUL.
int SendExecute(HCONV conversation, const char* command) {
    DWORD transactionResult = 0;
    HDDEDATA answer =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                             static_cast<DWORD>(std::strlen(command) + 1), conversation, nullptr,
                             CF_TEXT, XTYP_EXECUTE, kExecuteTimeoutMs, &transactionResult);
    return answer != nullptr ? 1 : 0;
}

// One whole conversation that carries the command; without a command it only tells whether
// the conversation came about.
int Converse(const char* command) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, DdeClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        return 0;
    }
    int result = 0;
    // A null name would make DdeConnect a wildcard that any DDE server on the desktop answers,
    // so a missing handle counts as no program manager.
    HSZ progman = DdeCreateStringHandleA(instance, kProgmanName, CP_WINANSI);
    if (progman != nullptr) {
        HCONV conversation = DdeConnect(instance, progman, progman, nullptr);
        if (conversation != nullptr) {
            result = command != nullptr ? SendExecute(conversation, command) : 1;
            DdeDisconnect(conversation);
        }
        DdeFreeStringHandle(instance, progman);
    }
    DdeUninitialize(instance);
    return result;
}

}  // namespace

HDDEDATA CALLBACK DdeClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

int SendProgmanCommand(const char* command) {
    return Converse(command);
}

int ProgmanAnswers() {
    return Converse(nullptr);
}
