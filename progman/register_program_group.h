#ifndef KARTOL_PROGMAN_REGISTER_PROGRAM_GROUP_H
#define KARTOL_PROGMAN_REGISTER_PROGRAM_GROUP_H

// Install stage 4: puts the program group and its two items into the shell's program
// manager. Returns 1 in every case: the installation does not depend on the shell.
int RegisterProgramGroup();

#endif
