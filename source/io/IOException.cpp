#include "io/IOException.h"

namespace io {

IOException::~IOException() = default;

} // namespace io
