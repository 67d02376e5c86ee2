#include "platform/xml/RemoteInput.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>

#include <memory>
#include <new>

#include "platform/xml/LibxmlInternals.h"
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
  RemoteStream(const std::string& requestedUrl, TransportErrorSink& errorSink, RemoteBodies* kept)
      : url(requestedUrl), sink(errorSink), resource(requestedUrl), kept(kept) {}

  std::string url;
  TransportErrorSink& sink;
  RemoteResource resource;
  bool reported = false;
  // Where the body goes once read to its end, and what of it is read so far;
  // null once it has grown past what may be kept.
  RemoteBodies* kept;
  std::string copy;

  void copyRead(const char* data, std::size_t count) noexcept {
    if (kept == nullptr) {
      return;
    }
    if (copy.size() + count > kept->roomLeft()) {
      kept = nullptr;
      std::string().swap(copy);
      return;
    }
    try {
      copy.append(data, count);
      if (count == 0) {
        kept->keep(url, RemoteBodies::Body{resource.finalUrl(), std::move(copy)});
        kept = nullptr;
      }
    } catch (...) {
      kept = nullptr; // a body not kept is fetched again
    }
  }

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
  stream->copyRead(buffer, static_cast<std::size_t>(count));
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

// As libxml2 does for its own files: the name locates errors and is the
// base of relative references; the directory is the older form of it.
void nameInput(xmlParserCtxt* context, xmlParserInput* input, const std::string& finalUrl) {
  input->filename = duplicateForLibxml(finalUrl);
  input->directory = xmlParserGetDirectory(finalUrl.c_str());
  if (context != nullptr && context->directory == nullptr && input->directory != nullptr) {
    context->directory = duplicateForLibxml(input->directory);
  }
}

xmlParserInput* openKept(xmlParserCtxt* context, const RemoteBodies::Body& body) {
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
      body.bytes.data(), static_cast<int>(body.bytes.size()), XML_CHAR_ENCODING_NONE);
  if (buffer == nullptr) {
    return nullptr;
  }
  xmlParserInput* input = xmlNewIOInputStream(context, buffer, XML_CHAR_ENCODING_NONE);
  if (input == nullptr) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  nameInput(context, input, body.finalUrl);
  return input;
}

} // namespace

const RemoteBodies::Body* RemoteBodies::find(const std::string& url) const {
  const auto found = bodies.find(url);
  return found == bodies.end() ? nullptr : &found->second;
}

void RemoteBodies::keep(const std::string& url, Body body) {
  const std::size_t size = body.bytes.size() + body.finalUrl.size() + url.size();
  if (size <= room && bodies.find(url) == bodies.end()) {
    bodies.emplace(url, std::move(body));
    room -= size;
  }
}

std::size_t announcedSize(const xmlParserInput* input) noexcept {
  const auto* stream = static_cast<const RemoteStream*>(internals::readContext(input, readRemote));
  return stream != nullptr ? stream->resource.announcedSize() : 0;
}

xmlParserInput* openRemoteInput(xmlParserCtxt* context, const std::string& url,
                                TransportErrorSink& sink, RemoteBodies* kept) noexcept {
  try {
    if (const RemoteBodies::Body* body = kept != nullptr ? kept->find(url) : nullptr) {
      xmlParserInput* input = openKept(context, *body);
      if (input == nullptr) {
        tell(sink, url, "out of memory");
      }
      return input;
    }
    auto stream = std::make_unique<RemoteStream>(url, sink, kept);
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
    nameInput(context, input, finalUrl);
    return input;
  } catch (const std::bad_alloc&) {
    tell(sink, url, "out of memory");
  } catch (...) {
    tell(sink, url, "unexpected failure while opening");
  }
  return nullptr;
}

} // namespace platform::xml
