// The setup's reader of the payload archive "kartol.un2": the fixed directory table that the
// unpacking stage works from, and the open stream on the archive's bytes.
#ifndef KARTOL_PAYLOAD_ARCHIVE_READER_H
#define KARTOL_PAYLOAD_ARCHIVE_READER_H

#include "state/process_state.h"

// Opens the archive at `path` and reads its whole directory into ArchiveDirectory, records as
// they are stored: the unpacking stage judges them (archive::EntryProblem). 1 when the stream
// is open and stands behind the directory; 0, with nothing left open, when the file cannot be
// opened, its first seven bytes are not the magic's, it holds more records than the table, or
// the header, the count or a record is cut short.
int OpenArchive(const char* path);

// Closes ArchiveStream; the stream library's result (0 on success).
int CloseArchive();

#endif
