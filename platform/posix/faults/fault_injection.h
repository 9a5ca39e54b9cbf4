// The fault-injection seam that tests use: they make a stand-in operation fail or answer
// chosen values (see fault_point.h), and record which operations were asked in which order.
// Only the tests and the fault sweep link this library.
#ifndef KARTOL_PLATFORM_POSIX_FAULTS_FAULT_INJECTION_H
#define KARTOL_PLATFORM_POSIX_FAULTS_FAULT_INJECTION_H

#include <vector>

#include "platform/posix/kernel32/fault_point.h"

namespace posix {

void Inject(Api api, Injection injection);
void ClearInjections();

// Every operation asks FindInjection first, so the seam also sees the order of the calls.
// While recording is on it keeps each operation it is asked about; StartRecording empties the
// record, ClearInjections ends recording.
void StartRecording();
std::vector<Api> RecordedCalls();

}  // namespace posix

#endif
