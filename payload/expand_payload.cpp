#include "expand_payload.h"

// The payload is not expanded yet: the stage succeeds so that the sequence runs on.
int ExpandPayload() {
    return 1;
}
