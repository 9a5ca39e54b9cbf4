// The program manager's group commands, each composed as its command text and sent in a
// conversation of its own. Each returns 1 when the program manager accepted the command, else
// 0; a command whose text would not fit the command buffer is refused, never cut short.
#ifndef KARTOL_PROGMAN_PROGMAN_GROUPS_H
#define KARTOL_PROGMAN_PROGMAN_GROUPS_H

// [DeleteGroup("group")]
int DeleteProgmanGroup(const char* group);
// [CreateGroup("group")]
int CreateProgmanGroup(const char* group);
// [ShowGroup("group",1)], then [AddItem("commandLine","caption")]: the AddItem's result.
int AddProgmanItem(const char* group, const char* commandLine, const char* caption);

#endif
