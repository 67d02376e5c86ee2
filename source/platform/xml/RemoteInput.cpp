#include "platform/xml/RemoteInput.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <cctype>
#include <memory>
#include <new>

#include "platform/xml/RemoteResource.h"

namespace platform::xml {

namespace {

// Tells the sink; a throwing sink must not unwind into libxml2.
void tell(TransportErrorSink& sink, const std::string& url, const std::string& reason) noexcept {
  try {
    sink.transportFailed(url, reason);
  } catch (...) {
  }
}

/// What libxml2's read and close callbacks of one remote input work on.
struct RemoteStream {
  RemoteStream(const std::string& requestedUrl, TransportErrorSink& errorSink)
      : url(requestedUrl), sink(errorSink), resource(requestedUrl) {}

  std::string url;
  TransportErrorSink& sink;
  RemoteResource resource;
  bool reported = false;

  void report() noexcept {
    if (!reported) {
      reported = true;
      tell(sink, url, resource.errorText());
    }
  }
};

int readRemote(void* context, char* buffer, int length) noexcept {
  auto* stream = static_cast<RemoteStream*>(context);
  if (length <= 0) {
    return 0;
  }
  long count = stream->resource.read(buffer, static_cast<std::size_t>(length));
  if (count < 0) {
    stream->report();
    return -1;
  }
  return static_cast<int>(count);
}

int closeRemote(void* context) noexcept {
  delete static_cast<RemoteStream*>(context);
  return 0;
}

struct InputBufferDeleter {
  void operator()(xmlParserInputBuffer* buffer) const noexcept { xmlFreeParserInputBuffer(buffer); }
};

char* duplicateForLibxml(const std::string& text) {
  return reinterpret_cast<char*>(xmlStrdup(reinterpret_cast<const xmlChar*>(text.c_str())));
}

} // namespace

bool isRemoteUrl(const std::string& url) {
  auto startsWithIgnoringCase = [&url](const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i] != '\0'; ++i) {
      if (i >= url.size() || std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) {
        return false;
      }
    }
    return true;
  };
  return startsWithIgnoringCase("http://") || startsWithIgnoringCase("https://");
}

xmlParserInput* openRemoteInput(xmlParserCtxt* context, const std::string& url,
                                TransportErrorSink& sink) noexcept {
  try {
    auto stream = std::make_unique<RemoteStream>(url, sink);
    if (stream->resource.failed()) {
      stream->report();
      return nullptr;
    }
    std::string finalUrl = stream->resource.finalUrl();

    std::unique_ptr<xmlParserInputBuffer, InputBufferDeleter> buffer(
        xmlParserInputBufferCreateIO(readRemote, closeRemote, stream.get(), XML_CHAR_ENCODING_NONE));
    if (!buffer) {
      tell(sink, url, "out of memory");
      return nullptr;
    }
    // From here on the buffer's close callback owns the stream.
    stream.release();

    xmlParserInput* input = xmlNewIOInputStream(context, buffer.get(), XML_CHAR_ENCODING_NONE);
    if (input == nullptr) {
      tell(sink, url, "out of memory");
      return nullptr;
    }
    buffer.release();
    // As libxml2 does for its own files: the name locates errors and is the
    // base of relative references; the directory is the older form of it.
    input->filename = duplicateForLibxml(finalUrl);
    input->directory = xmlParserGetDirectory(finalUrl.c_str());
    if (context != nullptr && context->directory == nullptr && input->directory != nullptr) {
      context->directory = duplicateForLibxml(input->directory);
    }
    return input;
  } catch (const std::bad_alloc&) {
    tell(sink, url, "out of memory");
  } catch (...) {
    tell(sink, url, "unexpected failure while opening");
  }
  return nullptr;
}

} // namespace platform::xml
