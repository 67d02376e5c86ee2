// The validator command: one document named on the command line is loaded
// and validated by the XML document component, and the outcome reported.
#pragma once

#include <string>

#include "platform/com/ComTypes.h"

/// Returns when status is exactly S_OK; throws VexlorException(message) for
/// every other status, S_FALSE and other "false" successes included.
void throwUnlessOk(platform::com::HRESULT status, const std::string& message);

/// The whole command; its result is the process exit code. Writes the
/// banner to std::cout, then with exactly one argument (argc 2) has a new
/// DOMDocument30 load it with validation on parse, external definitions and
/// synchronous loading. 0 after "OK-" and the argument on std::cout when it
/// loaded and validated and std::cout took everything (it is flushed). -1
/// otherwise: after one line on std::cerr when std::cout failed; after the
/// usage lines on std::cerr for any other argument count; after the report of
/// any failure in the program's exception family on std::cerr, which for a
/// failed load names the argument and carries the component's error
/// description and source.
/// Initialises COM on the calling thread, which must not have done so yet.
int run(int argc, char** argv);
