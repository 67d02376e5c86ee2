#include "io/file/IFStream.h"

namespace io::file {

IFStream::~IFStream() = default;

} // namespace io::file
