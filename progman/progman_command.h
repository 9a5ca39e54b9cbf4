// One command to the shell's program manager, or one request to it, carried by one complete
// DDE conversation with the service and topic "PROGMAN".
#ifndef KARTOL_PROGMAN_PROGMAN_COMMAND_H
#define KARTOL_PROGMAN_PROGMAN_COMMAND_H

#include <optional>
#include <string>

#include "platform/platform.h"

// Registers a DDE client, connects, sends the NUL-terminated command as one execute request
// and releases everything again. Returns 1 when the program manager accepted the request; 0
// when the client cannot be registered, the service name cannot be made, no program manager
// answers, or the request is refused or not answered within the request timeout.
int SendProgmanCommand(const char* command);

// Whether a program manager answers at all: 1 when a conversation with it comes about, which
// is then ended again without a request; 0 as SendProgmanCommand fails before its request.
// This tells a refused command (a group that is not there) from one that nobody heard.
int ProgmanAnswers();

// Requests the item in CF_TEXT (a group's name: the group's contents, formats/group_contents.h)
// and gives the answer's text; nothing when SendProgmanCommand would fail, or the program
// manager has no such item or does not answer requests for it (Wine's shell answers none for
// a group).
std::optional<std::string> RequestProgmanItem(const char* item);

// The client's DDE callback. The client serves nothing, so it answers every transaction with
// no data.
HDDEDATA CALLBACK DdeClientCallback(UINT type, UINT format, HCONV conversation, HSZ string1,
                                    HSZ string2, HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

#endif
