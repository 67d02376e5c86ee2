// The group of every input/output failure.
#pragma once

#include "exceptions/Exception.h"

namespace io {

/// Groups the I/O failures so a handler can catch them all at once. Holds
/// nothing; message() stays pure.
class IOException : public exceptions::Exception {
public:
  IOException() = default;
  IOException(const IOException&) = default;
  ~IOException() override;
};

} // namespace io
