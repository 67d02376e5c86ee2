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
#define VEXLOR_CHARACTER_ENTITY_STAND_INS 1
#endif

namespace platform::xml::internals {

struct CharacterEntities::StandIn {
  xmlEntity entity;
  xmlChar content[5];
  std::string name;
};

CharacterEntities::CharacterEntities() = default;

CharacterEntities::~CharacterEntities() = default;

namespace {

// The length of the one UTF-8 character text consists of, or 0 when it is
// anything else: empty, longer, white space (which the pass tells from a
// character reference by where libxml2 hands it over from) or markup.
int oneCharacter(const xmlChar* text, int length) {
  if (text == nullptr || length <= 0 || length > 4) {
    return 0;
  }
  const unsigned char lead = text[0];
  int expected = 0;
  if (lead < 0x80) {
    expected = lead > 0x20 && lead != '<' && lead != '&' ? 1 : 0;
  } else if ((lead & 0xE0) == 0xC0) {
    expected = 2;
  } else if ((lead & 0xF0) == 0xE0) {
    expected = 3;
  } else if ((lead & 0xF8) == 0xF0) {
    expected = 4;
  }
  if (expected != length) {
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) {
      return 0;
    }
  }
  return length;
}

#ifdef VEXLOR_CHARACTER_ENTITY_STAND_INS
// Whether the document's own parser has just read "&name;" from the
// document entity's text: the input stands right after the ';'. Lookups
// made while an entity's text or a string (an entity value, a default) is
// expanded stand elsewhere, read another input, or come from another
// parser (2.9 to 2.12 parse entity text with parsers of their own).
bool readFromDocumentText(const xmlParserCtxt* parser, const xmlChar* name) {
  const xmlParserInput* input = parser->input;
  if (parser->inputNr != 1 || input == nullptr || input->cur == nullptr || input->base == nullptr ||
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
// with a parser context made for it, when no tree keeps the entity's
// nodes; its predefined entities (amp, lt, ...) it hands over as they are:
// in content, xmlParseReference calls characters with their whole content
// and returns (every series). One character that is neither markup nor
// white space reaches the pass the same way either way: in one call, after
// the same checks of the reference (those of xmlParseEntityRef, and those
// that xmlSAX2GetEntity makes before this), with the parser standing after
// the ';'. In an attribute value:
// - 2.9 to 2.12 mark the parser XML_PARSER_ATTRIBUTE_VALUE, and copy only
//   the first byte of a predefined entity: no stand-in there;
// - 2.13 to 2.15 append ent->length bytes of its content, where they would
//   expand the entity's text: the same bytes, and a character above 0x20
//   is left alone by normalization either way.
// libxml2's own accounting of the expansion sees less, but what one
// character stands for never reaches its limits; the pass's guard is
// charged for the real entity all the same.
_xmlEntity* CharacterEntities::standIn(_xmlParserCtxt* parser, _xmlParserCtxt* context, _xmlEntity* entity,
                                       const unsigned char* name) {
#ifdef VEXLOR_CHARACTER_ENTITY_STAND_INS
  if (entity == nullptr || context != parser || parser == nullptr ||
      entity->etype != XML_INTERNAL_GENERAL_ENTITY) {
    return entity;
  }
  const int length = oneCharacter(entity->content, entity->length);
  if (length == 0 || entity->content[length] != 0) {
    return entity;
  }
#if LIBXML_VERSION < 21300
  if (parser->instate == XML_PARSER_ATTRIBUTE_VALUE) {
    return entity;
  }
#endif
  if (!readFromDocumentText(parser, name)) {
    return entity;
  }
  std::unique_ptr<StandIn>& kept = standIns[entity];
  if (kept == nullptr || std::memcmp(kept->content, entity->content, static_cast<std::size_t>(length) + 1) != 0) {
    kept = std::make_unique<StandIn>();
    std::memset(&kept->entity, 0, sizeof kept->entity);
    std::memcpy(kept->content, entity->content, static_cast<std::size_t>(length) + 1);
    kept->name = reinterpret_cast<const char*>(entity->name != nullptr ? entity->name : name);
    kept->entity.type = XML_ENTITY_DECL;
    kept->entity.name = reinterpret_cast<const xmlChar*>(kept->name.c_str());
    kept->entity.etype = XML_INTERNAL_PREDEFINED_ENTITY;
    kept->entity.content = kept->content;
    kept->entity.orig = kept->content;
    kept->entity.length = length;
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
