#include "progman_groups.h"

#include <cstdio>

#include "product_group.h"
#include "progman_command.h"

namespace {

// The show command of ShowGroup: show the group's window and make it the active group.
constexpr int kShowGroupActive = 1;

// Sends the composed text unless it was cut short; snprintf's result is the untruncated
// length, or negative when composing failed, which as a size is larger than any buffer.
int SendComposed(const char* command, int length) {
    if (static_cast<std::size_t>(length) >= kProgmanCommandSize) {
        return 0;
    }
    return SendProgmanCommand(command);
}

}  // namespace

int DeleteProgmanGroup(const char* group) {
    char command[kProgmanCommandSize];
    return SendComposed(command,
                        std::snprintf(command, sizeof command, "[DeleteGroup(\"%s\")]", group));
}

int CreateProgmanGroup(const char* group) {
    char command[kProgmanCommandSize];
    return SendComposed(command,
                        std::snprintf(command, sizeof command, "[CreateGroup(\"%s\")]", group));
}

int AddProgmanItem(const char* group, const char* commandLine, const char* caption) {
    char command[kProgmanCommandSize];
    SendComposed(command, std::snprintf(command, sizeof command, "[ShowGroup(\"%s\",%d)]", group,
                                        kShowGroupActive));
    return SendComposed(
        command, std::snprintf(command, sizeof command, kAddItemFormat, commandLine, caption));
}
