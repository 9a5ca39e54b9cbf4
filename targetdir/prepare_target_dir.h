#ifndef KARTOL_TARGETDIR_PREPARE_TARGET_DIR_H
#define KARTOL_TARGETDIR_PREPARE_TARGET_DIR_H

// Number of levels of InstallDir that the last level walk handled, 0 to 120; only that many
// entries of PathLevelFlags are meaningful.
extern int PathLevelCount;

// Install stage 1: checks the target path and its drive, creates every level of the path,
// starts the uninstall log and creates the six content subdirectories. 1 when the target is
// ready, 0 after the stage has shown its own error message.
int PrepareTargetDir();

#endif
