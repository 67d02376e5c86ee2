#include "validator/VexlorException.h"

VexlorException::VexlorException(const std::string& text) : text(text) {}

VexlorException::~VexlorException() = default;

const std::string& VexlorException::message() const { return text; }
