#include "progman_command.h"

#include <cstring>
#include <string>

namespace {

// The program manager's service and topic name.
constexpr char kProgmanName[] = "PROGMAN";
// How long a transaction waits for the program manager's answer.
constexpr DWORD kTransactionTimeoutMs = 1000;

// The request's data is the text with its terminating NUL.
int SendExecute(HCONV conversation, const char* command) {
    DWORD transactionResult = 0;
    HDDEDATA answer =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                             static_cast<DWORD>(std::strlen(command) + 1), conversation, nullptr,
                             CF_TEXT, XTYP_EXECUTE, kTransactionTimeoutMs, &transactionResult);
    return answer != nullptr ? 1 : 0;
}

// Requests the item in CF_TEXT; the answer is its text up to the terminating NUL.
int SendRequest(DWORD instance, HCONV conversation, const char* item, std::string& answer) {
    HSZ name = DdeCreateStringHandleA(instance, item, CP_WINANSI);
    if (name == nullptr) {
        return 0;
    }
    DWORD transactionResult = 0;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, name, CF_TEXT, XTYP_REQUEST,
                                         kTransactionTimeoutMs, &transactionResult);
    DdeFreeStringHandle(instance, name);
    if (data == nullptr) {
        return 0;
    }
    answer.assign(DdeGetData(data, nullptr, 0, 0), '\0');
    answer.resize(DdeGetData(data, reinterpret_cast<LPBYTE>(answer.data()),
                             static_cast<DWORD>(answer.size()), 0));
    answer.resize(std::strlen(answer.c_str()));
    DdeFreeDataHandle(data);
    return 1;
}

// One whole conversation, in which `transact(instance, conversation)` carries out its
// transaction and gives the result.
template <typename Transaction>
int Converse(Transaction transact) {
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
            result = transact(instance, conversation);
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
    return Converse(
        [command](DWORD, HCONV conversation) { return SendExecute(conversation, command); });
}

int ProgmanAnswers() {
    return Converse([](DWORD, HCONV) { return 1; });
}

std::optional<std::string> RequestProgmanItem(const char* item) {
    std::string answer;
    if (!Converse([&](DWORD instance, HCONV conversation) {
            return SendRequest(instance, conversation, item, answer);
        })) {
        return std::nullopt;
    }
    return answer;
}
