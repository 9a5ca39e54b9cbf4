// The client side of the DDE management library. A conversation is a connection to the
// program manager server over the local link (progman_link.h); its transactions are the
// execute request, which the setup sends, and the request for an item in CF_TEXT, which the
// uninstaller sends. Instances, string handles, conversations and the data that requests
// answered are process-wide tables, as DDEML keeps them per process.
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "dde_objects.h"
#include "platform/host/progman_link.h"
#include "platform/posix/include/win32.h"
#include "platform/posix/kernel32/drive_settings.h"
#include "platform/posix/kernel32/fault_point.h"

namespace {

using posix::Api;
using posix::FindInjection;

// How long DdeConnect waits for the server to take up the conversation.
constexpr std::chrono::milliseconds kConnectTimeout{1000};

struct StringHandle {
    DWORD instance;
    std::string text;
};

struct Conversation {
    DWORD instance;
    host::UniqueFd link;
};

struct DataHandle {
    DWORD instance;
    std::string bytes;
};

std::map<DWORD, PFNCALLBACK> instances;
std::map<HSZ, StringHandle> stringHandles;
std::map<HCONV, Conversation> conversations;
std::map<HDDEDATA, DataHandle> dataHandles;
std::uintptr_t lastHandle = 0;

// Instance ids and handles come from one counter, so none is ever 0 or reused.
std::uintptr_t NextHandle() {
    return ++lastHandle;
}

template <typename Handle>
Handle MakeHandle() {
    return reinterpret_cast<Handle>(NextHandle());
}

// The name behind a handle of this instance; a null handle is the wildcard, the empty name.
std::optional<std::string> HandleText(DWORD instance, HSZ handle) {
    if (handle == nullptr) {
        return std::string{};
    }
    const auto found = stringHandles.find(handle);
    if (found == stringHandles.end() || found->second.instance != instance) {
        return std::nullopt;
    }
    return found->second.text;
}

template <typename Table, typename Predicate>
void EraseIf(Table& table, Predicate predicate) {
    std::erase_if(table, [&](const auto& entry) { return predicate(entry.second); });
}

}  // namespace

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved) {
    if (FindInjection(Api::DdeInitializeA) != nullptr) {
        return DMLERR_SYS_ERROR;
    }
    // Re-initialising an instance and the server side are not provided.
    if (instance == nullptr || *instance != 0 || callback == nullptr ||
        command != APPCMD_CLIENTONLY || reserved != 0) {
        return DMLERR_INVALIDPARAMETER;
    }
    *instance = static_cast<DWORD>(NextHandle());
    instances.emplace(*instance, callback);
    return DMLERR_NO_ERROR;
}

HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR text, int codePage) {
    if (FindInjection(Api::DdeCreateStringHandleA) != nullptr || !instances.contains(instance) ||
        text == nullptr || codePage != CP_WINANSI) {
        return nullptr;
    }
    const HSZ handle = MakeHandle<HSZ>();
    stringHandles.emplace(handle, StringHandle{instance, text});
    return handle;
}

// A release that fails changes nothing for the caller, so the seam only records these calls.
BOOL DdeFreeStringHandle(DWORD instance, HSZ handle) {
    FindInjection(Api::DdeFreeStringHandle);
    const auto found = stringHandles.find(handle);
    if (found == stringHandles.end() || found->second.instance != instance) {
        return FALSE;
    }
    stringHandles.erase(found);
    return TRUE;
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context) {
    const std::optional<std::string> serviceName = HandleText(instance, service);
    const std::optional<std::string> topicName = HandleText(instance, topic);
    if (FindInjection(Api::DdeConnect) != nullptr || !instances.contains(instance) ||
        !serviceName || !topicName || context != nullptr) {
        return nullptr;
    }
    host::UniqueFd link = host::ConnectToProgman();
    if (!link ||
        !host::SendFrame(link.get(), host::FrameKind::Connect,
                         *serviceName + '\0' + *topicName + '\0' + posix::DriveSettings()) ||
        !host::ReceiveAccepted(link.get(), kConnectTimeout)) {
        return nullptr;
    }
    const HCONV handle = MakeHandle<HCONV>();
    conversations.emplace(handle, Conversation{instance, std::move(link)});
    return handle;
}

// An execute transaction carries data and no item, a request an item and no data.
HDDEDATA DdeClientTransaction(LPBYTE data, DWORD dataLength, HCONV conversation, HSZ item,
                              UINT format, UINT type, DWORD timeout, LPDWORD) {
    const auto found = conversations.find(conversation);
    const std::optional<std::string> itemName =
        found != conversations.end() ? HandleText(found->second.instance, item) : std::nullopt;
    const bool execute = type == XTYP_EXECUTE && data != nullptr && item == nullptr;
    const bool request = type == XTYP_REQUEST && data == nullptr && item != nullptr && itemName;
    if (FindInjection(Api::DdeClientTransaction) != nullptr || found == conversations.end() ||
        !found->second.link || !(execute || request) || format != CF_TEXT ||
        timeout == TIMEOUT_ASYNC) {
        return nullptr;
    }
    const int link = found->second.link.get();
    const std::chrono::milliseconds wait{timeout};
    if (execute) {
        const std::string_view command{reinterpret_cast<const char*>(data), dataLength};
        if (host::SendFrame(link, host::FrameKind::Execute, command) &&
            host::ReceiveAccepted(link, wait)) {
            // An execute transaction answers TRUE rather than data.
            return reinterpret_cast<HDDEDATA>(static_cast<std::uintptr_t>(TRUE));
        }
    } else if (host::SendFrame(link, host::FrameKind::Request, *itemName)) {
        const std::optional<host::Frame> answer = host::ReceiveFrame(link, wait);
        if (answer && answer->kind == host::FrameKind::Data) {
            const HDDEDATA handle = MakeHandle<HDDEDATA>();
            dataHandles.emplace(handle, DataHandle{found->second.instance, answer->data});
            return handle;
        }
    }
    // A late answer would be taken for the next transaction's: the conversation is over.
    found->second.link = host::UniqueFd{};
    return nullptr;
}

// Without a buffer, the size of the data; else what fits of it from the offset on.
DWORD DdeGetData(HDDEDATA data, LPBYTE buffer, DWORD size, DWORD offset) {
    const auto found = dataHandles.find(data);
    if (FindInjection(Api::DdeGetData) != nullptr || found == dataHandles.end() ||
        offset > found->second.bytes.size()) {
        return 0;
    }
    const std::string& bytes = found->second.bytes;
    if (buffer == nullptr) {
        return static_cast<DWORD>(bytes.size());
    }
    return static_cast<DWORD>(bytes.copy(reinterpret_cast<char*>(buffer), size, offset));
}

BOOL DdeFreeDataHandle(HDDEDATA data) {
    FindInjection(Api::DdeFreeDataHandle);
    return dataHandles.erase(data) > 0 ? TRUE : FALSE;
}

BOOL DdeDisconnect(HCONV conversation) {
    FindInjection(Api::DdeDisconnect);
    return conversations.erase(conversation) > 0 ? TRUE : FALSE;
}

// Ends the instance with everything it still holds, as DDEML does.
BOOL DdeUninitialize(DWORD instance) {
    FindInjection(Api::DdeUninitialize);
    if (instances.erase(instance) == 0) {
        return FALSE;
    }
    EraseIf(stringHandles, [&](const StringHandle& h) { return h.instance == instance; });
    EraseIf(conversations, [&](const Conversation& c) { return c.instance == instance; });
    EraseIf(dataHandles, [&](const DataHandle& d) { return d.instance == instance; });
    return TRUE;
}

std::size_t posix::HeldDdeObjects() {
    return instances.size() + stringHandles.size() + conversations.size() + dataHandles.size();
}
