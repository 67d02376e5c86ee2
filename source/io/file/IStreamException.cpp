#include "io/file/IStreamException.h"

namespace io::file {

IStreamException::IStreamException(const std::string& text) : text(text) {}

IStreamException::~IStreamException() = default;

const std::string& IStreamException::message() const { return text; }

} // namespace io::file
