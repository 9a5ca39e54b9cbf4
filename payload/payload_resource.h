// The id of the resource that carries the compressed payload in the setup program, of type
// TEMPLATE. Included by the setup's resource script and by the stage that writes the resource
// out, so both name the same entry.
#ifndef KARTOL_PAYLOAD_PAYLOAD_RESOURCE_H
#define KARTOL_PAYLOAD_PAYLOAD_RESOURCE_H

#define IDR_PAYLOAD 113

#endif
