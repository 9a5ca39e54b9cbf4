#ifndef KARTOL_PAYLOAD_EXPAND_PAYLOAD_H
#define KARTOL_PAYLOAD_EXPAND_PAYLOAD_H

// Install stage 2: writes the embedded payload into the target directory and expands it
// into the payload archive. Non-zero on success, 0 on failure; shows no message of its own.
int ExpandPayload();

#endif
