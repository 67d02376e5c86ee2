// libxml2 2.14 and later mark most of the fields used here deprecated;
// this file is where the project reads them, on purpose.
#define XML_DEPRECATED_MEMBER

#include "platform/xml/LibxmlInternals.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

// The tricks on parser inputs: where the parser stands, what its input
// holds undecoded, how its reading is watched. Each was checked against
// the sources of libxml2 2.9.13 and 2.9.14, 2.10.4, 2.11.9, 2.12.10, 2.13.9,
// 2.14.6 and 2.15.3, and says which of those series need it.
#if LIBXML_VERSION < 20913 || LIBXML_VERSION >= 21600
#error "LibxmlInputInternals.cpp was checked against libxml2 2.9.13 to 2.15: check each trick in it against this libxml2"
#endif

namespace platform::xml::internals {

std::size_t documentBytesRead(const _xmlParserCtxt* parser) {
  const xmlParserInputPtr document = parser->inputNr > 0 ? parser->inputTab[0] : nullptr;
  return document == nullptr ? 0
                             : static_cast<std::size_t>(document->consumed) +
                                   static_cast<std::size_t>(document->cur - document->base);
}

const _xmlParserInput* innermostNamedInput(const _xmlParserCtxt* context) {
  if (context == nullptr) {
    return nullptr;
  }
  for (int i = context->inputNr - 1; i >= 0; --i) {
    if (context->inputTab[i] != nullptr && context->inputTab[i]->filename != nullptr) {
      return context->inputTab[i];
    }
  }
  return nullptr;
}

std::string innermostInputName(const _xmlParserCtxt* context) {
  const xmlParserInput* input = innermostNamedInput(context);
  return input != nullptr ? input->filename : "";
}

bool atCharacterReference(const _xmlParserCtxt* context, const xmlChar* data) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->base == nullptr || input->cur <= input->base) {
    return false;
  }
  const bool fromInput = data >= input->base && (input->end == nullptr || data < input->end);
  return !fromInput && input->cur[-1] == ';';
}

bool startTagDeclaresXmlPrefix(const _xmlParserCtxt* context, const unsigned char* inside) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->base == nullptr || input->cur <= input->base) {
    return false;
  }
  // A well-formed tag holds no '<' but its first character.
  const xmlChar* start = inside != nullptr && inside > input->base && inside < input->cur ? inside : input->cur;
  while (start > input->base && *--start != '<') {
  }
  if (*start != '<') {
    start = nullptr;
  }
  // Most tags hold no colon at all: two vector scans settle those.
  if (start == nullptr || memchr(start, ':', static_cast<std::size_t>(input->cur - start)) == nullptr) {
    return false;
  }
  const xmlChar* at = start + 1;
  const xmlChar* const end = input->cur;
  const auto skip = [&](auto&& inName) {
    const xmlChar* from = at;
    while (at < end && inName(*at)) {
      ++at;
    }
    return std::string_view(reinterpret_cast<const char*>(from), static_cast<std::size_t>(at - from));
  };
  const auto nameChar = [](xmlChar c) { return !IS_BLANK_CH(c) && c != '=' && c != '>' && c != '/'; };
  const auto blank = [](xmlChar c) { return IS_BLANK_CH(c); };
  skip(nameChar);
  for (;;) {
    skip(blank);
    const std::string_view name = skip(nameChar);
    if (name.empty()) {
      return false;
    }
    skip(blank);
    if (at == end || *at != '=') {
      return false;
    }
    ++at;
    skip(blank);
    if (at == end) {
      return false;
    }
    const xmlChar quote = *at++;
    skip([quote](xmlChar c) { return c != quote; });
    if (at == end) {
      return false;
    }
    ++at;
    if (name == "xmlns:xml") {
      return true;
    }
  }
}

namespace {

#if LIBXML_VERSION >= 21400
// How many of the size bytes at data handler decodes before it fails.
std::size_t decodablePrefix(xmlCharEncodingHandler* handler, const xmlChar* data, std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX / 4)) {
    return 0;
  }
  xmlBufferPtr in = xmlBufferCreateSize(size + 1);
  xmlBufferPtr out = xmlBufferCreateSize(4 * size + 16);
  std::size_t decoded = 0;
  if (in != nullptr && out != nullptr && xmlBufferAdd(in, data, static_cast<int>(size)) == 0) {
    while (xmlBufferLength(in) > 0) {
      const int before = xmlBufferLength(in);
      xmlBufferEmpty(out);
      xmlCharEncInFunc(handler, out, in);
      if (xmlBufferLength(in) == before) {
        break;
      }
    }
    decoded = size - static_cast<std::size_t>(xmlBufferLength(in));
  }
  xmlBufferFree(in);
  xmlBufferFree(out);
  return decoded;
}
#endif

// The first bytes (up to four) that input holds undecoded, shown as
// "0x85 0x30 ..."; "" when it holds none or decodes nothing.
std::string rawBytes(const xmlParserInput* input, std::string& encoding) {
  if (input == nullptr || input->buf == nullptr || input->buf->encoder == nullptr || input->buf->raw == nullptr) {
    return "";
  }
  std::size_t left = xmlBufUse(input->buf->raw);
  const xmlChar* bytes = xmlBufContent(input->buf->raw);
  if (left == 0 || bytes == nullptr) {
    return "";
  }
#if LIBXML_VERSION >= 21400
  // 2.14 and later keep the whole chunk whose decoding failed in raw, not
  // only what is left of it: a copy decoded again with the same decoder
  // stops at the same byte. Bytes there without a failure are only the
  // start of a character whose end has not been read yet.
  if (input->buf->error == 0) {
    return "";
  }
  const std::size_t skipped = decodablePrefix(input->buf->encoder, bytes, left);
  bytes += skipped;
  left -= skipped;
  if (left == 0) {
    return "";
  }
#endif
  encoding = input->buf->encoder->name != nullptr ? input->buf->encoder->name : "its encoding";
  std::string shown;
  for (std::size_t i = 0; i < left && i < 4; ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%s0x%02X", i == 0 ? "" : " ", bytes[i]);
    shown += hex;
  }
  return shown;
}

} // namespace

std::string undecodedBytes(const _xmlParserCtxt* context, std::string& encoding) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->cur < input->end) {
    return "";
  }
  return rawBytes(input, encoding);
}

std::string undecodedBytesAhead(const _xmlParserCtxt* context, std::string& encoding, int& line, int& column) {
  const xmlParserInputPtr input = context != nullptr ? context->input : nullptr;
  if (input == nullptr || input->cur == nullptr || input->end == nullptr || input->cur > input->end) {
    return "";
  }
  const std::string bytes = rawBytes(input, encoding);
  if (bytes.empty()) {
    return "";
  }
  // libxml2 counts lines and columns in characters, as the parser reads on.
  line = input->line;
  column = input->col;
  for (const xmlChar* at = input->cur; at < input->end; ++at) {
    if (*at == '\n') {
      ++line;
      column = 1;
    } else if ((*at & 0xC0) != 0x80) {
      ++column;
    }
  }
  return bytes;
}

bool isDecoderFault(const xmlError& error) {
#if LIBXML_VERSION >= 21300
  return error.domain == XML_FROM_IO && error.code == XML_ERR_INVALID_ENCODING;
#elif LIBXML_VERSION >= 21200
  // 2.12 raises the buffer's error as a parser error; the same code where
  // the parser itself meets bad UTF-8 has no decoder, and no bytes left.
  return error.domain == XML_FROM_PARSER && error.code == XML_ERR_INVALID_ENCODING;
#elif LIBXML_VERSION >= 21100
  return error.domain == XML_FROM_PARSER && error.code == XML_ERR_INTERNAL_ERROR && error.message != nullptr &&
         std::strncmp(error.message, "Growing input buffer", 20) == 0;
#else
  (void)error;
  return false;
#endif
}

std::string declaredEncoding(const _xmlParserCtxt* parser) {
  const xmlChar* name = parser->input != nullptr && parser->input->encoding != nullptr ? parser->input->encoding
                                                                                      : parser->encoding;
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

void* readContext(const _xmlParserInput* input, int (*read)(void*, char*, int)) {
  const xmlParserInputBuffer* buffer = input != nullptr ? input->buf : nullptr;
  return buffer != nullptr && buffer->readcallback == read ? buffer->context : nullptr;
}

// Stands between an input buffer and its own reading and closing.
struct WideTagWatch::Reader {
  WideTagWatch& watch;
  xmlParserCtxtPtr parser;
  xmlInputReadCallback read;
  xmlInputCloseCallback close;
  void* context;

  static int onRead(void* reader, char* buffer, int length) {
    Reader& self = *static_cast<Reader*>(reader);
    // maxatts is the room xmlCtxtGrowAttrs made for the attributes of the
    // largest tag so far, 5 pointers an attribute; it grows by half or
    // doubles once a tag fills it (2.9 to 2.13: 10 * n + 20 for a tag of
    // n; 2.14 and later by xmlGrowCapacity). Room for 4 * limit attributes
    // means a tag of more than limit; a tag of fewer than twice limit may
    // pass here, and is refused once its start is handed over.
    const int room = self.parser->maxatts;
    if (self.watch.wide || (room > 0 && static_cast<std::size_t>(room) / 20 > self.watch.limit)) {
      self.watch.wide = true;
      return 0;
    }
    const int count = self.read(self.context, buffer, length);
    if (count > 0 && self.watch.reads) {
      self.watch.reads(static_cast<std::size_t>(count));
    }
    return count;
  }

  static int onClose(void* reader) {
    Reader* self = static_cast<Reader*>(reader);
    const int result = self->close != nullptr ? self->close(self->context) : 0;
    delete self;
    return result;
  }
};

void WideTagWatch::watch(xmlParserCtxtPtr parser, xmlParserInputPtr input) {
  xmlParserInputBufferPtr buffer = input != nullptr ? input->buf : nullptr;
  if (buffer == nullptr || buffer->readcallback == nullptr) {
    return; // held in memory whole: nothing more is read
  }
  buffer->context = new Reader{*this, parser, buffer->readcallback, buffer->closecallback, buffer->context};
  buffer->readcallback = Reader::onRead;
  buffer->closecallback = Reader::onClose;
}

} // namespace platform::xml::internals
