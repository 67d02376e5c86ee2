#include "platform/xml/ResponseHeaders.h"

#include <algorithm>
#include <cctype>

namespace platform::xml {

namespace {

std::string toLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

} // namespace

void ResponseHeaders::take(std::string_view line) {
  if (line.substr(0, 5) == "HTTP/") {
    startResponse(line);
  } else if (!inside) {
    // Trailers after a chunked body.
  } else if (line == "\r\n" || line == "\n") {
    endHeaders();
  } else if (toLower(line.substr(0, 9)) == "location:") {
    hasLocation = true;
  }
}

void ResponseHeaders::startResponse(std::string_view statusLine) {
  inside = true;
  hasLocation = false;
  reasonPhrase.clear();
  status = 0;
  std::size_t codeStart = statusLine.find(' ');
  if (codeStart == std::string_view::npos) {
    return;
  }
  std::size_t position = codeStart + 1;
  while (position < statusLine.size() && std::isdigit(static_cast<unsigned char>(statusLine[position]))) {
    status = status * 10 + (statusLine[position] - '0');
    ++position;
  }
  std::size_t reasonEnd = statusLine.find_last_not_of("\r\n");
  if (position < statusLine.size() && statusLine[position] == ' ' && reasonEnd != std::string_view::npos &&
      reasonEnd > position) {
    reasonPhrase = std::string(statusLine.substr(position + 1, reasonEnd - position));
    reasonPhrase.erase(reasonPhrase.find_last_not_of(' ') + 1);
  }
}

void ResponseHeaders::endHeaders() {
  inside = false;
  bool informational = status >= 100 && status < 200;
  bool followed = status >= 300 && status < 400 && hasLocation;
  if (!informational && !followed) {
    finalIn = true;
  }
}

} // namespace platform::xml
