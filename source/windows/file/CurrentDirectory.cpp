#include "windows/file/CurrentDirectory.h"

namespace windows::file {

CurrentDirectory::~CurrentDirectory() = default;

} // namespace windows::file
