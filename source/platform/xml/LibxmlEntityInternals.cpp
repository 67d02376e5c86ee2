// libxml2 2.14 and later mark some of the fields used here deprecated;
// this file is where the project reads them, on purpose.
#define XML_DEPRECATED_MEMBER

#include "platform/xml/LibxmlInternals.h"

#include <cstring>

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlversion.h>

// The trick here was checked against the sources of libxml2 2.9.13 and
// 2.9.14, 2.10.4, 2.11.9, 2.12.10, 2.13.9, 2.14.6 and 2.15.3 (xmlParseEntityRef
// or xmlLookupGeneralEntity, xmlParseReference, and the attribute value
// parsers of each). On another series the entities are handed back as they
// are, and libxml2 parses each reference again.
#if LIBXML_VERSION >= 20913 && LIBXML_VERSION < 21600
#define VEXLOR_TEXT_ENTITY_STAND_INS 1
#endif

namespace platform::xml::internals {

struct TextEntities::StandIn {
  xmlEntity entity;
  std::string content;
  std::string name;
};

TextEntities::TextEntities() = default;

TextEntities::~TextEntities() = default;

namespace {

// The length of the one UTF-8 character at text, or 0 when it is none.
int characterLength(const xmlChar* text, std::size_t room) {
  const unsigned char lead = text[0];
  int expected = 0;
  if (lead < 0x80) {
    expected = 1;
  } else if ((lead & 0xE0) == 0xC0) {
    expected = 2;
  } else if ((lead & 0xF0) == 0xE0) {
    expected = 3;
  } else if ((lead & 0xF8) == 0xF0) {
    expected = 4;
  }
  if (expected == 0 || static_cast<std::size_t>(expected) > room) {
    return 0;
  }
  for (int i = 1; i < expected; ++i) {
    if ((text[i] & 0xC0) != 0x80) {
      return 0;
    }
  }
  return expected;
}

// Longer texts are parsed again as they are.
constexpr int maxPlainText = 256;

// Whether text is plain: one character that is neither markup nor white
// space (which the pass tells from a character reference by where libxml2
// hands it over from), or several with no markup, no ']' (a "]]>" in it is
// a fault of the reference), no white space but single spaces between
// other characters (which attribute normalization leaves alone), and no
// control character.
bool plainText(const xmlChar* text, int length) {
  if (text == nullptr || length <= 0 || length > maxPlainText) {
    return false;
  }
  const std::size_t size = static_cast<std::size_t>(length);
  const int first = characterLength(text, size);
  if (first == length) {
    return text[0] >= 0x80 || (text[0] > 0x20 && text[0] != '<' && text[0] != '&');
  }
  if (text[0] == ' ' || text[size - 1] == ' ') {
    return false;
  }
  for (std::size_t at = 0; at < size;) {
    const xmlChar byte = text[at];
    if (byte < 0x80) {
      if (byte < 0x20 || byte == 0x7F || byte == '<' || byte == '&' || byte == ']' ||
          (byte == ' ' && text[at + 1] == ' ')) {
        return false;
      }
      ++at;
      continue;
    }
    const int next = characterLength(text + at, size - at);
    if (next == 0) {
      return false;
    }
    at += static_cast<std::size_t>(next);
  }
  return true;
}

#ifdef VEXLOR_TEXT_ENTITY_STAND_INS
// Whether context has just read "&name;" from the text of the one input it
// reads, the document entity or (2.9 to 2.12, which parse the text of each
// reference to an internal entity with a parser of its own) that entity's
// text: the input stands right after the ';'. Lookups made while an
// entity's text or a string (an entity value, a default) is expanded stand
// elsewhere, or read another input.
bool readFromText(const xmlParserCtxt* context, const xmlChar* name) {
  const xmlParserInput* input = context->input;
  if (context->inputNr != 1 || input == nullptr || input->cur == nullptr || input->base == nullptr ||
      name == nullptr) {
    return false;
  }
#if LIBXML_VERSION >= 21100
  if (input->entity != nullptr) {
    return false;
  }
#endif
  const std::size_t length = std::strlen(reinterpret_cast<const char*>(name));
  if (length == 0 || static_cast<std::size_t>(input->cur - input->base) < length + 2) {
    return false;
  }
  const xmlChar* reference = input->cur - length - 2;
  return reference[0] == '&' && input->cur[-1] == ';' && std::memcmp(reference + 1, name, length) == 0;
}
#endif

} // namespace

// libxml2 parses the text of every reference to an internal entity again,
// with a parser context made for it (2.9 to 2.12) or an input pushed for
// it, when no tree keeps the entity's nodes; its predefined entities (amp,
// lt, ...) it hands over as they are: in content, xmlParseReference calls
// characters with their whole content and returns (every series). Plain
// text (plainText) reaches the pass the same way either way, after the same
// checks of the reference (those of xmlParseEntityRef, and those that
// xmlSAX2GetEntity makes before this), with the parser standing after the
// ';': in one call rather than in the pieces a parse may make of it
// (the DTD check tells no piece of text from another that is not white
// space, and where the schema layer allows no text, one piece makes one
// report rather than one per piece). Within the text of an internal entity
// (2.9 to 2.12) a fault is placed where the reference to the outermost one
// stands either way. In an attribute value:
// - 2.9 to 2.12 mark the parser XML_PARSER_ATTRIBUTE_VALUE, and copy only
//   the first byte of a predefined entity: no stand-in there;
// - 2.13 to 2.15 append ent->length bytes of its content, where they would
//   expand the entity's text: the same bytes, which normalization leaves
//   alone either way (no white space but single spaces between others).
// libxml2's own accounting of the expansion sees less (its ratio of
// expansion to input may refuse a document a bound lower than the pass's);
// the pass's guard is charged for the real entity all the same, and is the
// bound.
_xmlEntity* TextEntities::standIn(_xmlParserCtxt* parser, _xmlParserCtxt* context, _xmlEntity* entity,
                                       const unsigned char* name) {
#ifdef VEXLOR_TEXT_ENTITY_STAND_INS
  if (entity == nullptr || context == nullptr || parser == nullptr || entity->etype != XML_INTERNAL_GENERAL_ENTITY) {
    return entity;
  }
#if LIBXML_VERSION < 21300
  if (context->instate == XML_PARSER_ATTRIBUTE_VALUE) {
    return entity;
  }
  // In an internal entity's text (its parser reads no named input), not as
  // deep as libxml2's limit on nested references.
  if (context != parser && (innermostNamedInput(context) != nullptr || context->depth >= 40)) {
    return entity;
  }
#else
  if (context != parser) {
    return entity;
  }
#endif
  if (!readFromText(context, name) || !plainText(entity->content, entity->length) ||
      entity->content[entity->length] != 0) {
    return entity;
  }
  const std::size_t length = static_cast<std::size_t>(entity->length);
  std::unique_ptr<StandIn>& kept = standIns[entity];
  if (kept == nullptr || kept->content.compare(0, std::string::npos, reinterpret_cast<const char*>(entity->content),
                                               length) != 0) {
    kept = std::make_unique<StandIn>();
    std::memset(&kept->entity, 0, sizeof kept->entity);
    kept->content.assign(reinterpret_cast<const char*>(entity->content), length);
    kept->name = reinterpret_cast<const char*>(entity->name != nullptr ? entity->name : name);
    kept->entity.type = XML_ENTITY_DECL;
    kept->entity.name = reinterpret_cast<const xmlChar*>(kept->name.c_str());
    kept->entity.etype = XML_INTERNAL_PREDEFINED_ENTITY;
    kept->entity.content = reinterpret_cast<xmlChar*>(&kept->content[0]);
    kept->entity.orig = kept->entity.content;
    kept->entity.length = entity->length;
  }
  return &kept->entity;
#else
  (void)parser;
  (void)context;
  (void)name;
  return entity;
#endif
}

} // namespace platform::xml::internals
