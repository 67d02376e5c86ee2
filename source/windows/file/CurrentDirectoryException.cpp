#include "windows/file/CurrentDirectoryException.h"

namespace windows::file {

CurrentDirectoryException::CurrentDirectoryException(const std::string& text) : text(text) {}

CurrentDirectoryException::~CurrentDirectoryException() = default;

const std::string& CurrentDirectoryException::message() const { return text; }

GetCurrentDirectoryException::GetCurrentDirectoryException(const std::string& text)
    : CurrentDirectoryException(text) {}

SetCurrentDirectoryException::SetCurrentDirectoryException(const std::string& text)
    : CurrentDirectoryException(text) {}

} // namespace windows::file
