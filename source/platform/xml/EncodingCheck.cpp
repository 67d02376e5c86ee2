#include "platform/xml/EncodingCheck.h"

#include <strings.h>

#include <cstring>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include "platform/xml/LibxmlInternals.h"

namespace platform::xml {

namespace {

bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  return text.size() >= length && strncasecmp(text.c_str(), prefix, length) == 0;
}

bool isWide(const std::string& encoding) {
  return startsWithIgnoringCase(encoding, "utf-32") || startsWithIgnoringCase(encoding, "ucs-4") ||
         startsWithIgnoringCase(encoding, "ucs4") || startsWithIgnoringCase(encoding, "iso-10646-ucs-4");
}

std::string wideRefusal(const std::string& encoding) {
  return "the document is encoded in " + encoding +
         ", which is not supported: encode it as UTF-8 or UTF-16";
}

} // namespace

void EncodingCheck::documentStarts(std::string_view head) {
  const auto starts = [head](std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; };
  using namespace std::string_view_literals;
  mark.clear();
  wide.clear();
  // A UTF-32 mark starts like a UTF-16 one: the four-byte forms first.
  if (starts("\x00\x00\xfe\xff"sv) || starts("\xff\xfe\x00\x00"sv)) {
    wide = "UTF-32";
  } else if (starts("\x00\x00\x00<"sv) || starts("<\x00\x00\x00"sv) || starts("\x00\x00<\x00"sv) ||
             starts("\x00<\x00\x00"sv)) {
    wide = "UCS-4";
  } else if (starts("\xef\xbb\xbf")) {
    mark = "UTF-8";
  } else if (starts("\xfe\xff") || starts("\xff\xfe")) {
    mark = "UTF-16";
  }
}

std::string EncodingCheck::unsupported() const { return wide.empty() ? "" : wideRefusal(wide); }

std::string EncodingCheck::contradiction(const std::string& declared) const {
  if (mark.empty() || declared.empty()) {
    return "";
  }
  const bool agrees =
      mark == "UTF-8" ? startsWithIgnoringCase(declared, "utf-8") || startsWithIgnoringCase(declared, "utf8")
                      : startsWithIgnoringCase(declared, "utf-16") || startsWithIgnoringCase(declared, "ucs-2") ||
                            startsWithIgnoringCase(declared, "iso-10646-ucs-2");
  return agrees ? "" : "the byte order mark says " + mark + " but the encoding declaration says '" + declared + "'";
}

bool EncodingCheck::absorbs(const xmlError& error) {
  const bool early = (error.domain == XML_FROM_I18N && error.code == XML_I18N_CONV_FAILED) ||
                     (error.domain == XML_FROM_IO && error.code == XML_IO_ENCODER);
  if (early && pending.empty()) {
    pending = error.message != nullptr ? error.message : "input conversion failed";
    while (!pending.empty() && pending.back() == '\n') {
      pending.pop_back();
    }
  }
  return early;
}

std::string EncodingCheck::overruledDeclaration(const xmlError& error) const {
#if LIBXML_VERSION >= 21200
  if (error.code == XML_WAR_ENCODING_MISMATCH && error.str1 != nullptr) {
    return contradiction(error.str1);
  }
#else
  (void)error;
#endif
  return "";
}

std::string EncodingCheck::stoppedAt(const _xmlParserCtxt* context, bool& suppressed) {
  std::string encoding;
  const std::string bytes = internals::undecodedBytes(context, encoding);
  suppressed = !bytes.empty();
  if (bytes.empty() || stoppedInput == context->input) {
    return "";
  }
  return placeRefusal(context, encoding, bytes);
}

std::string EncodingCheck::refusedAhead(const _xmlParserCtxt* context, const xmlError& error, int& line,
                                        int& column) {
  if (context == nullptr || !internals::isDecoderFault(error)) {
    return "";
  }
  std::string encoding;
  const std::string bytes = internals::undecodedBytesAhead(context, encoding, line, column);
  if (bytes.empty() || stoppedInput == context->input) {
    return "";
  }
  return placeRefusal(context, encoding, bytes);
}

std::string EncodingCheck::placeRefusal(const _xmlParserCtxt* context, const std::string& encoding,
                                        const std::string& bytes) {
  stoppedInput = context->input;
  placed = true;
  if (isWide(encoding)) {
    return "the encoding " + encoding + " is not supported: encode the text as UTF-8 or UTF-16";
  }
  return "invalid " + encoding + " byte sequence here: " + bytes;
}

} // namespace platform::xml
