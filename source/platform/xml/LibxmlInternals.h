// Every use of libxml2's internal structures, declared in one place: what a
// streaming pass needs that libxml2's API does not offer. Each trick says
// why it is needed and for which series; LibxmlInternals.cpp holds those
// on the parser, validation and IDs, LibxmlInputInternals.cpp those on
// inputs, LibxmlSchemaInternals.cpp those on compiled schemas,
// LibxmlEntityInternals.cpp the stand-ins for character entities.
// tests/platform/xml/LibxmlInternalsTest.cpp fails when the libxml2
// underneath no longer behaves as they assume.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct _xmlAttribute;
struct _xmlDoc;
struct _xmlEntity;
struct _xmlError;
struct _xmlNode;
struct _xmlParserCtxt;
struct _xmlParserInput;
struct _xmlSchema;
struct _xmlSchemaAttribute;
struct _xmlSchemaValidCtxt;
struct _xmlSchemaType;

namespace platform::xml::internals {

/// Frees an element whose end tag has passed. Of the document's own parser
/// (not of entity content), a childless element's structures, those of its
/// attributes and of their value texts are kept for the parser to reuse, as
/// libxml2's reader does: that saves an allocation and a release for nearly
/// every element of a document.
void releaseElement(_xmlParserCtxt* parser, _xmlParserCtxt* context, _xmlNode* node);

/// Whether libxml2 has yet to make its checks of the DTD itself, which it
/// makes at the root element when it builds a tree; a pass that builds none
/// makes them itself, then calls dtdChecksMade.
bool dtdChecksPending(const _xmlParserCtxt* parser);
void dtdChecksMade(_xmlParserCtxt* parser);

/// Frees what a push validation leaves to its user: the states of the
/// elements a broken document left open (checked silently), and the stack.
void dropValidationStack(_xmlParserCtxt* parser);

/// Bytes of the document entity read so far.
std::size_t documentBytesRead(const _xmlParserCtxt* parser);

/// The innermost input of context that has a name (URI): the text of an
/// internal entity has none, and a place in it is given where the entity
/// was referred to. Null when none has.
const _xmlParserInput* innermostNamedInput(const _xmlParserCtxt* context);

/// The name of innermostNamedInput(context); "" when none has one.
std::string innermostInputName(const _xmlParserCtxt* context);

/// Whether the blank text at data that context just handed over came from
/// a character reference. libxml2 hands a reference's character over from a
/// buffer of its own, with the input standing right after the ';'; literal
/// text comes from the input itself, or from a buffer once the input stands
/// after it (and so after a blank, never a ';').
bool atCharacterReference(const _xmlParserCtxt* context, const unsigned char* data);

/// Whether the start tag context has just read (its element start is being
/// handled) declares the prefix xml (xmlns:xml="..."), which libxml2 drops
/// before any callback sees it. The whole tag stands in the input then,
/// ending where the input stands: libxml2 keeps it there for the attribute
/// values it hands over. inside, when not null, may point into the tag
/// (the first attribute's value): the search for its start begins there.
bool startTagDeclaresXmlPrefix(const _xmlParserCtxt* context, const unsigned char* inside = nullptr);

/// The first bytes (up to four, as "0x85 0x30 ...") that context's input
/// holds undecoded when its parser stands at the end of the decoded text:
/// libxml2 decodes ahead of the parser and stops before bytes its decoder
/// refuses, so the parser ends up there. "" when the input is not stuck
/// so; encoding then receives the decoder's name.
std::string undecodedBytes(const _xmlParserCtxt* context, std::string& encoding);

/// The same when the parser stands before the end of the decoded text:
/// line and column receive where that text ends (the undecodable bytes'
/// place).
std::string undecodedBytesAhead(const _xmlParserCtxt* context, std::string& encoding, int& line, int& column);

/// Whether error is how this libxml2 tells that the decoder of the input
/// refused bytes ahead of the parser, raised where the parser stands:
/// from 2.11 on (2.11 reports "Growing input buffer" and stops, 2.12 an
/// invalid encoding, 2.13 and later in the I/O domain, and both read on to
/// the end of the decoded text). 2.9 and 2.10 read on to there and fail
/// there.
bool isDecoderFault(const _xmlError& error);

/// The encoding the document's XML declaration names, or "" (libxml2 keeps
/// it in one of two places, depending on what it detected first).
std::string declaredEncoding(const _xmlParserCtxt* parser);

/// The schema a validation context validates against: for one made
/// without a schema, the one it assembles from the hints it reads (libxml2
/// offers no accessor).
_xmlSchema* validationSchema(_xmlSchemaValidCtxt* context);

/// Whether a validation context made without a schema reads the hints of
/// the element starts it takes next. libxml2 reads them at every element
/// start, and each time records every identity constraint of the schema
/// anew: a scan of all its namespaces' schemas per element, and records
/// that pile up, one per constraint per element, which every element end
/// walks (time quadratic in the document under a schema with identity
/// constraints). The pass reads hints only where it hands them over; the
/// reading must be on again when the context is unplugged, which frees the
/// assembled schema only then.
void readHints(_xmlSchemaValidCtxt* context, bool read);

/// The schemas of each namespace that schema holds, schema's own included:
/// libxml2 keeps the components of each imported namespace in a schema of
/// its own, reached only through its private records of the imports.
std::vector<_xmlSchema*> namespaceSchemas(_xmlSchema* schema);

/// libxml2 2.11 and later sum what all references of the document stand
/// for, and refuse a document whose references together stand for more
/// than 10 (2.11) or 5 times what was read: a million references to a
/// short entity. That sum is the pass's to bound (ExpansionGuard); called
/// as parser looks up the entity name, this clears it when the reference
/// was read from the document's own text, so that libxml2 goes on bounding
/// only what one such reference stands for (references nested in entity
/// text, the bombs, in content and in attribute values alike).
void forgetDocumentExpansion(_xmlParserCtxt* parser, const unsigned char* name);

/// Whether message is libxml2's refusal of one reference that stands for
/// too much (2.11 and later).
bool isAmplificationRefusal(const char* message);

/// Makes context hand over every error it meets: libxml2 2.11 and later
/// stop reporting after 100 errors of one parser, while the pass counts
/// all of them (the report lists 50 and says how many more there were).
/// Called from the error handler.
void keepReportingErrors(_xmlParserCtxt* context);

/// libxml2 2.13 and later read the text of an entity with the document's
/// own parser, and on purpose register no ID of it (a tree holds the
/// text once, whatever the number of references). The pass parses every
/// reference again, and each reference's IDs count: this registers the
/// IDs of node, which context has just built inside an entity's text.
/// Earlier series read that text with a parser of its own, whose elements
/// the pass validates against the document (DtdStreamCheck), and there
/// this does nothing.
void registerEntityTextIds(_xmlParserCtxt* context, _xmlNode* node);

/// Whether DTDs and external entities are to be handed to this libxml2
/// whole: 2.9 and 2.10 lose count of the sections nested in an IGNORE
/// section when a "<![" or "]]>" straddles the end of a read, and report a
/// sound DTD's section as not closed. 2.11 and later read it right either
/// way.
bool needsWholeEntities();

/// Whether context validates against the DTD: its validate field, which
/// 2.14 and later mark deprecated without an accessor for it (the parser
/// options say what was asked, not what EntityContentChecksOff turned off).
bool validates(const _xmlParserCtxt* context);

/// Makes parser keep the line of each node it builds (linenumbers, which
/// 2.15 no longer reads: it always does).
void keepLineNumbers(_xmlParserCtxt* parser);

/// Whether the length bytes at value are one of the names that
/// declaration, of an enumerated type, lists (a list 2.14 and later mark
/// deprecated, with no accessor).
bool enumerates(const _xmlAttribute& declaration, const unsigned char* value, std::size_t length);
/// Keeps IDs and IDREFs by value, so that freeing each element at its end
/// tag loses none of them (libxml2's reader mode).
void keepIdsByValue(_xmlParserCtxt* parser);

/// The type definitions of the element declarations in a compiled complex
/// type's content model and of its attribute uses, local ones included
/// (libxml2 keeps particles, model groups and attribute uses in structures
/// of its own).
std::vector<const _xmlSchemaType*> localTypes(const _xmlSchemaType& complexType);

/// The type the validation context gave the element it has just started,
/// whose local name is localName; null when it gave it none (an element it
/// skips, or could not declare).
const _xmlSchemaType* startedElementType(_xmlSchemaValidCtxt* context, const unsigned char* localName);

/// At the end of the element whose local name is localName, before the
/// validation context takes it: when the element's text is all its content
/// and is only to be checked against a simple type (its type, or the
/// content type of its complex type; not nilled, no default or fixed value,
/// no identity constraint wanting the value, no fault found in it), and
/// valid(type, text) holds, the context's record of the element loses its
/// type, so that the end of the element checks nothing more. True when it
/// did. Record layout, flags and that path checked on 2.9.13 to 2.15.3.
bool settleContent(_xmlSchemaValidCtxt* context, const unsigned char* localName,
                   bool (*valid)(const _xmlSchemaType& type, std::string_view value));

/// The attribute uses of a complex type: each attribute's name, namespace
/// (null for none) and type; local is its declaration when that is local
/// and holds no value constraint (see UncheckedAttributes), else null.
struct AttributeType {
  const unsigned char* name;
  const unsigned char* targetNamespace;
  const _xmlSchemaType* type;
  _xmlSchemaAttribute* local;
};
std::vector<AttributeType> attributeTypes(const _xmlSchemaType& complexType);

/// While it lives, the schema layer takes the values of the declarations
/// handed to leave() without checking them: it reads their type as
/// xs:anySimpleType's, which takes every value, and each gets its own back
/// at the end. For values the pass has found valid itself, of declarations
/// that AttributeType::local gives, under a schema whose
/// uncheckedAttributeLimits allow it. The schema layer reads an attribute's
/// type from its declaration at each element start, and uses it for the
/// value's check, the comparison with a value constraint (which local
/// declarations put in the declaration itself), identity constraints, and
/// counting the IDs that an attribute wildcard admits
/// (xmlSchemaVAttributesComplex, alike in 2.9.13 to 2.15.3).
class UncheckedAttributes {
public:
  UncheckedAttributes() = default;
  UncheckedAttributes(const UncheckedAttributes&) = delete;
  UncheckedAttributes& operator=(const UncheckedAttributes&) = delete;
  ~UncheckedAttributes();

  /// False when it holds as many as it can: the value is then checked.
  /// standIn is xs:anySimpleType (UncheckedAttributeLimits holds it).
  bool leave(_xmlSchemaAttribute* declaration, _xmlSchemaType* standIn);

private:
  static constexpr std::size_t room = 8;
  // The first count of each hold something.
  _xmlSchemaAttribute* declarations[room];
  _xmlSchemaType* types[room];
  std::size_t count = 0;
};

/// What of a schema (with all its namespaces' schemas) bounds
/// UncheckedAttributes: whether any may be left unchecked (not under an
/// identity constraint, whose fields want typed values), and whether those
/// of a type derived from xs:ID may be (not where a global attribute
/// declaration may be of such a type: a wildcard admitting it counts IDs).
struct UncheckedAttributeLimits {
  bool any;
  bool ids;
  _xmlSchemaType* standIn;
};
UncheckedAttributeLimits uncheckedAttributeLimits(_xmlSchema* schema);

/// Called as the loader refuses a document the schema layer asked for
/// because nothing is there: libxml2 then takes it for one it could not
/// locate (which it skips where an xs:import names it, the location being
/// a hint) rather than one it could not parse (which fails the schema).
void markDocumentNotLocated();

/// The context that input's buffer hands to its read callback, when that
/// callback is read; null otherwise (or for an input held in memory).
void* readContext(const _xmlParserInput* input, int (*read)(void*, char*, int));

/// libxml2 holds a start tag whole until it ends, and 2.9 to 2.11 then
/// compare each attribute with every one before it: a tag with 480,000
/// attributes takes 57 MB on 2.15 and minutes on 2.9, before any callback.
/// The watch looks, at each read of an input, at the room the parser has
/// made for one tag's attributes (maxatts, in every series), and ends the
/// input there, as if the file ended, once a tag holds far more than
/// limit; the pass refuses a start with more than limit itself.
class WideTagWatch {
public:
  explicit WideTagWatch(std::size_t limit) : limit(limit) {}
  WideTagWatch(const WideTagWatch&) = delete;
  WideTagWatch& operator=(const WideTagWatch&) = delete;

  /// Watches the reads of input for parser; the watch must outlive input.
  void watch(_xmlParserCtxt* parser, _xmlParserInput* input);
  /// Whether a watched input was ended at a tag with too many attributes.
  bool tripped() const { return wide; }
  /// From now on, the byte count of each read of a watched input is handed
  /// to counter (an empty one takes none).
  void countReads(std::function<void(std::size_t)> counter) { reads = std::move(counter); }

private:
  struct Reader;
  std::size_t limit;
  bool wide = false;
  std::function<void(std::size_t)> reads;
};

/// While it lives, libxml2's element start and end in entity content make
/// no validity checks and record no IDs of their own: they would run
/// against a tree the pass does not keep; the pass checks against the
/// document's validation stack instead.
class EntityContentChecksOff {
public:
  explicit EntityContentChecksOff(_xmlParserCtxt* context);
  EntityContentChecksOff(const EntityContentChecksOff&) = delete;
  EntityContentChecksOff& operator=(const EntityContentChecksOff&) = delete;
  ~EntityContentChecksOff();

private:
  _xmlParserCtxt* context;
  int validate;
  int loadSubset;
};

/// Stand-ins for the internal general entities whose replacement text is
/// plain: one character other than white space, '<' or '&' (the character
/// entity sets of XHTML and the like), or a short text without markup,
/// ']' or white space other than single spaces (names of products and
/// vendors). libxml2 hands the text of such a stand-in over as characters,
/// as it does its predefined entities', instead of making a parser context
/// (or an input) for each reference and parsing the text again: the pass
/// sees the same text, in one call, with the parser standing at the same
/// place. Only references read from the document entity's own text get
/// one, and on 2.9 to 2.12 those in the text of internal entities too
/// (LibxmlEntityInternals.cpp says why, and where else); the stand-ins live
/// as long as this.
class TextEntities {
public:
  TextEntities();
  TextEntities(const TextEntities&) = delete;
  TextEntities& operator=(const TextEntities&) = delete;
  ~TextEntities();

  /// What the getEntity handler of parser, the document's parser, is to
  /// hand back for entity, which context looked up by name: entity itself,
  /// or its stand-in.
  _xmlEntity* standIn(_xmlParserCtxt* parser, _xmlParserCtxt* context, _xmlEntity* entity,
                      const unsigned char* name);

private:
  struct StandIn;
  std::unordered_map<const _xmlEntity*, std::unique_ptr<StandIn>> standIns;
};

/// Gives document ID and IDREF tables of their own, before any value is
/// recorded: 2.9 to 2.11 would key them through the document's dictionary,
/// which would keep every value to the end (2.12 and later do not).
void plainIdTables(_xmlDoc* document);

/// libxml2's validation records every ID and IDREF(S) value it meets in
/// the document's tables and keeps them to the end: some 150 to 180 bytes
/// an ID (its record, copies of the value and of the attribute's name, the
/// hash entry), about as much a reference. The pass keeps them itself, in
/// far less room (IdRegistry), and empties those tables after each
/// element's checks: this hands each ID value they hold to id and each
/// reference to reference (its value, the attribute's name, the line libxml2
/// recorded), then empties them. Whether a value of libxml2's is already
/// an ID is then the pass's to say (libxml2 finds no duplicate in an empty
/// table), and so is the document's final check of the references.
void takeRecordedIds(_xmlDoc* document, const std::function<void(const char* id)>& id,
                     const std::function<void(const char* value, const char* attribute, int line)>& reference);

} // namespace platform::xml::internals
