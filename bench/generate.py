#!/usr/bin/env python3
"""Writes the benchmark documents: one list of order records, with an
external DTD that declares the record ids as IDs, with one that declares them
as plain CDATA, and with a schema hint; plus the two DTDs and the schema.
On request it also writes real documents, validated by grammars that Debian
packages install.

  generate.py [--startup COUNT] [--docbook MB] [--xhtml MB] [--saml MB]
              DIRECTORY [RECORDS...]

For each count N it writes DIRECTORY/dtd-id-N.xml, DIRECTORY/dtd-cdata-N.xml
and DIRECTORY/xsd-N.xml; it always writes bench.dtd, bench-cdata.dtd and
bench.xsd. With --startup it also writes COUNT small documents of ten records
each, validated by bench.dtd (startup-dtd-K.xml) and by the schema hint
(startup-xsd-K.xml), for timing one process per document. Every record is three elements with attributes and text and a
distinct id, so with bench.dtd the validators track one ID per record.

The real documents, each about MB megabytes:
  --docbook  docbook.xml, a DocBook 4.5 book (PUBLIC "-//OASIS//DTD DocBook XML
             V4.5//EN", found through /etc/xml/catalog; package docbook-xml):
             chapters, sections, lists and paragraphs, each with an id (about
             one ID per 510 bytes: 196 MB hold some 384,000), xref and link
             linkends backwards and forwards, character entities of the
             DocBook sets (&eacute; ...) and internal general entities.
  --xhtml    xhtml.xml, an XHTML 1.0 Strict page (PUBLIC "-//W3C//DTD XHTML
             1.0 Strict//EN"; package w3c-sgml-lib): sections with ids,
             href="#id" links, tables, lists, &eacute; &nbsp; &mdash; ...
  --saml     saml.xml, SAML 2.0 metadata (an md:EntitiesDescriptor of entity
             descriptors with keys, xenc encryption methods and saml:Attribute
             elements), whose xsi:schemaLocation names the metadata schema of
             opensaml-schemas; it imports xmldsig, xmlenc and xml.xsd from
             http://www.w3.org/, which saml-catalog.xml (written beside it, to
             be named in XML_CATALOG_FILES) maps to the files of
             xmltooling-schemas, and then hands on to /etc/xml/catalog.
"""

import os
import sys

DTD = """<!ELEMENT records (record*)>
<!ATTLIST records source CDATA #IMPLIED>
<!ELEMENT record (name, qty)>
<!ATTLIST record
  id   ID        #REQUIRED
  kind (a | b | c) #REQUIRED>
<!ELEMENT name (#PCDATA)>
<!ELEMENT qty (#PCDATA)>
"""

XSD = """<?xml version="1.0" encoding="UTF-8"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
  <xs:element name="records">
    <xs:complexType>
      <xs:sequence>
        <xs:element name="record" minOccurs="0" maxOccurs="unbounded">
          <xs:complexType>
            <xs:sequence>
              <xs:element name="name" type="xs:string"/>
              <xs:element name="qty" type="xs:positiveInteger"/>
            </xs:sequence>
            <xs:attribute name="id" type="xs:ID" use="required"/>
            <xs:attribute name="kind" use="required">
              <xs:simpleType>
                <xs:restriction base="xs:string">
                  <xs:enumeration value="a"/>
                  <xs:enumeration value="b"/>
                  <xs:enumeration value="c"/>
                </xs:restriction>
              </xs:simpleType>
            </xs:attribute>
          </xs:complexType>
        </xs:element>
      </xs:sequence>
      <xs:attribute name="source" type="xs:string"/>
    </xs:complexType>
  </xs:element>
</xs:schema>
"""

NAMES = ("bolt", "nut", "washer", "screw", "hinge", "bracket", "rivet")
KINDS = ("a", "b", "c")


MEGABYTE = 1 << 20


class SizedWriter:
    """Writes a document through a .partial file, in batches, and tells how
    much has been written."""

    def __init__(self, path):
        self.path = path
        self.partial = path + ".partial"
        self.out = open(self.partial, "w", encoding="utf-8", newline="\n")
        self.batch = []
        self.written = 0

    def write(self, text):
        self.batch.append(text)
        self.written += len(text.encode("utf-8"))
        if len(self.batch) >= 1000:
            self.flush()

    def flush(self):
        text = "".join(self.batch)
        self.batch.clear()
        self.out.write(text)

    def close(self):
        self.flush()
        self.out.close()
        os.replace(self.partial, self.path)


WORDS = ("validation", "document", "entity", "schema", "element", "attribute",
         "caf\u00e9", "na\u00efve", "r\u00e9sum\u00e9", "grammar", "stream",
         "catalog", "reference", "namespace", "declaration", "parser")


def sentence(number, length=12):
    return " ".join(WORDS[(number * 7 + k * 3) % len(WORDS)] for k in range(length))


DOCBOOK_PROLOGUE = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE book PUBLIC "-//OASIS//DTD DocBook XML V4.5//EN"
  "http://www.oasis-open.org/docbook/xml/4.5/docbookx.dtd" [
<!ENTITY product "Vexlor">
<!ENTITY vendor "Vexlor Caf&eacute; &amp; Co.">
<!ENTITY notice "<emphasis>&product;</emphasis> checks documents against their grammar">
]>
<book id="book" lang="en">
<bookinfo><title>The &product; Benchmark Book</title>
<author><firstname>Ren&eacute;e</firstname><surname>Dupr&eacute;</surname></author>
<copyright><year>2026</year><holder>&vendor;</holder></copyright></bookinfo>
"""


def write_docbook(path, megabytes):
    """Chapters of eight sections of six paragraphs and a list; every
    chapter, section, paragraph and list item has an id. Paragraphs refer to
    the paragraph before (backwards) and to the next section (forwards); the
    last chapter's forward links point back to the first."""
    target = megabytes * MEGABYTE
    out = SizedWriter(path)
    out.write(DOCBOOK_PROLOGUE)
    chapter = 0
    while True:
        chapter += 1
        last = out.written + 60000 >= target
        following = 1 if last else chapter + 1
        out.write(f'<chapter id="c{chapter}"><title>Chapter {chapter}: &product; na&iuml;ve '
                  f'r&eacute;sum&eacute;</title>\n')
        for section in range(1, 9):
            nextSection = f"c{chapter}s{section + 1}" if section < 8 else f"c{following}s1"
            out.write(f'<section id="c{chapter}s{section}"><title>Section {chapter}.{section} '
                      f'&mdash; {sentence(section, 4)}</title>\n')
            for para in range(1, 7):
                number = chapter * 100 + section * 10 + para
                previous = f"c{chapter}s{section}p{para - 1}" if para > 1 else f"c{chapter}s{section}"
                out.write(f'<para id="c{chapter}s{section}p{para}">&notice;: {sentence(number)} '
                          f'&ndash; see <xref linkend="{previous}"/> and '
                          f'<link linkend="{nextSection}">the next section</link>; '
                          f'<literal>{WORDS[number % len(WORDS)]}</literal> '
                          f'co&ouml;perates with <emphasis role="strong">{sentence(number + 1, 8)}'
                          f'</emphasis> &copy; &vendor;. {sentence(number + 2, 26)}; '
                          f'<quote>{sentence(number + 3, 10)}</quote>, {sentence(number + 4, 20)}.</para>\n')
            out.write(f'<itemizedlist id="c{chapter}s{section}l" mark="bullet">'
                      + "".join(f'<listitem id="c{chapter}s{section}i{item}"><para>{sentence(item, 5)} '
                                f'&rarr; <xref linkend="c{chapter}s{section}p{item}"/></para></listitem>'
                                for item in range(1, 4))
                      + "</itemizedlist>\n</section>\n")
        out.write("</chapter>\n")
        if last:
            break
    out.write("</book>\n")
    out.close()


XHTML_PROLOGUE = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Strict//EN"
  "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd">
<html xmlns="http://www.w3.org/1999/xhtml" xml:lang="en" lang="en">
<head><title>Vexlor benchmark page &mdash; caf&eacute;</title>
<meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
<style type="text/css">td.n { text-align: right }</style></head>
<body>
<div id="top" class="page"><h1>Vexlor benchmark page</h1>
<ul id="toc">
"""


def write_xhtml(path, megabytes):
    """Sections (div with an id) with a heading, paragraphs with entity
    references and href="#id" links to the table of contents and the next
    section, a list and a table with an id on every row."""
    target = megabytes * MEGABYTE
    out = SizedWriter(path)
    out.write(XHTML_PROLOGUE)
    out.write('<li><a href="#s1">First section</a></li>\n</ul></div>\n')
    number = 0
    while out.written < target:
        number += 1
        out.write(f'<div id="s{number}" class="section"><h2 title="section {number}">Section '
                  f'{number} &mdash; {sentence(number, 4)}</h2>\n')
        for para in range(1, 5):
            out.write(f'<p id="s{number}p{para}" class="text">{sentence(number + para)}&nbsp;'
                      f'&eacute;t&eacute; &laquo;<em>{sentence(para, 3)}</em>&raquo; &hellip; '
                      f'<a href="#s{number + 1}">next</a> &middot; <a href="#top">top</a> &middot; '
                      f'<a href="#s{number}r{para}" title="row {para}">row&nbsp;{para}</a>; '
                      f'&copy;&nbsp;caf&eacute; &ndash; <code>{WORDS[para]}</code>.</p>\n')
        out.write(f'<ul id="s{number}l">'
                  + "".join(f'<li class="item">{sentence(item, 4)} &rarr; <a href="#s{number}p{item}">'
                            f'&para;{item}</a></li>' for item in range(1, 5))
                  + "</ul>\n")
        out.write(f'<table id="s{number}t" summary="figures of section {number}" border="1" '
                  f'cellpadding="2"><caption>Figures &sect;{number}</caption>'
                  '<thead><tr><th scope="col">name</th><th scope="col">value</th>'
                  '<th scope="col">note</th></tr></thead><tbody>'
                  + "".join(f'<tr id="s{number}r{row}"><td>{WORDS[row]}</td>'
                            f'<td class="n">{number * row % 997}&nbsp;&euro;</td>'
                            f'<td>{sentence(row, 3)} &times;&nbsp;{row}</td></tr>' for row in range(1, 5))
                  + "</tbody></table>\n</div>\n")
    # The last section's link to the next one needs a target.
    out.write(f'<div id="s{number + 1}"><p>The end &mdash; <a href="#top">top</a>.</p></div>\n')
    out.write("</body>\n</html>\n")
    out.close()


SAML_SCHEMAS = "/usr/share/xml/opensaml"
XMLTOOLING_SCHEMAS = "/usr/share/xml/xmltooling"

SAML_CATALOG = f"""<?xml version="1.0" encoding="UTF-8"?>
<catalog xmlns="urn:oasis:names:tc:entity:xmlns:xml:catalog">
  <!-- The W3C locations that the SAML 2.0 schemas import, mapped to the
       copies of xmltooling-schemas, so that nothing is fetched. -->
  <uri name="http://www.w3.org/TR/2002/REC-xmldsig-core-20020212/xmldsig-core-schema.xsd"
       uri="file://{XMLTOOLING_SCHEMAS}/xmldsig-core-schema.xsd"/>
  <uri name="http://www.w3.org/TR/2002/REC-xmlenc-core-20021210/xenc-schema.xsd"
       uri="file://{XMLTOOLING_SCHEMAS}/xenc-schema.xsd"/>
  <uri name="http://www.w3.org/2001/xml.xsd" uri="file://{XMLTOOLING_SCHEMAS}/xml.xsd"/>
  <system systemId="http://www.w3.org/TR/2002/REC-xmldsig-core-20020212/xmldsig-core-schema.xsd"
       uri="file://{XMLTOOLING_SCHEMAS}/xmldsig-core-schema.xsd"/>
  <system systemId="http://www.w3.org/TR/2002/REC-xmlenc-core-20021210/xenc-schema.xsd"
       uri="file://{XMLTOOLING_SCHEMAS}/xenc-schema.xsd"/>
  <system systemId="http://www.w3.org/2001/xml.xsd" uri="file://{XMLTOOLING_SCHEMAS}/xml.xsd"/>
  <nextCatalog catalog="/etc/xml/catalog"/>
</catalog>
"""

CERTIFICATE = "".join(chr(ord("A") + (k * 7) % 26) for k in range(760))


def write_saml(path, megabytes):
    """An md:EntitiesDescriptor of identity and service providers, each with
    an ID, a signing and an encryption key (ds:KeyInfo, xenc:KeySize),
    endpoints, saml:Attribute elements and an organization in two languages."""
    target = megabytes * MEGABYTE
    directory = os.path.dirname(path)
    with open(os.path.join(directory, "saml-catalog.xml"), "w", encoding="ascii") as catalog:
        catalog.write(SAML_CATALOG)
    out = SizedWriter(path)
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n'
              '<md:EntitiesDescriptor xmlns:md="urn:oasis:names:tc:SAML:2.0:metadata"\n'
              '    xmlns:saml="urn:oasis:names:tc:SAML:2.0:assertion"\n'
              '    xmlns:ds="http://www.w3.org/2000/09/xmldsig#"\n'
              '    xmlns:xenc="http://www.w3.org/2001/04/xmlenc#"\n'
              '    xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"\n'
              '    xsi:schemaLocation="urn:oasis:names:tc:SAML:2.0:metadata '
              f'file://{SAML_SCHEMAS}/saml-schema-metadata-2.0.xsd"\n'
              '    Name="urn:example:federation" ID="federation"'
              ' validUntil="2030-01-01T00:00:00Z" cacheDuration="PT6H">\n')
    number = 0
    while out.written < target:
        number += 1
        host = f"https://sp{number}.example.org"
        key = CERTIFICATE[number % 26:] + CERTIFICATE[:number % 26]
        keys = "".join(f'<md:KeyDescriptor use="{use}"><ds:KeyInfo><ds:KeyName>key-{number}-{use}'
                       f'</ds:KeyName><ds:X509Data><ds:X509Certificate>{key}</ds:X509Certificate>'
                       f'</ds:X509Data></ds:KeyInfo>'
                       + ('<md:EncryptionMethod Algorithm="http://www.w3.org/2001/04/xmlenc#aes256-cbc">'
                          '<xenc:KeySize>256</xenc:KeySize></md:EncryptionMethod>'
                          '<md:EncryptionMethod Algorithm="http://www.w3.org/2001/04/xmlenc#rsa-oaep-mgf1p">'
                          '<xenc:OAEPparams>OAEP</xenc:OAEPparams></md:EncryptionMethod>'
                          if use == "encryption" else "")
                       + "</md:KeyDescriptor>\n" for use in ("signing", "encryption"))
        if number % 2:
            role = (f'<md:IDPSSODescriptor ID="e{number}idp" WantAuthnRequestsSigned="true"'
                    ' protocolSupportEnumeration="urn:oasis:names:tc:SAML:2.0:protocol">\n' + keys
                    + f'<md:SingleLogoutService Binding="urn:oasis:names:tc:SAML:2.0:bindings:HTTP-Redirect"'
                    f' Location="{host}/slo"/>\n'
                    '<md:NameIDFormat>urn:oasis:names:tc:SAML:2.0:nameid-format:persistent</md:NameIDFormat>\n'
                    f'<md:SingleSignOnService Binding="urn:oasis:names:tc:SAML:2.0:bindings:HTTP-POST"'
                    f' Location="{host}/sso"/>\n'
                    + "".join(f'<saml:Attribute Name="urn:oid:2.5.4.{attribute}" FriendlyName="{WORDS[attribute]}"'
                              ' NameFormat="urn:oasis:names:tc:SAML:2.0:attrname-format:uri">'
                              f'<saml:AttributeValue>{WORDS[attribute + 1]}</saml:AttributeValue>'
                              '</saml:Attribute>\n' for attribute in range(3, 7))
                    + '</md:IDPSSODescriptor>\n')
        else:
            role = (f'<md:SPSSODescriptor ID="e{number}sp" AuthnRequestsSigned="true"'
                    ' protocolSupportEnumeration="urn:oasis:names:tc:SAML:2.0:protocol">\n' + keys
                    + '<md:NameIDFormat>urn:oasis:names:tc:SAML:2.0:nameid-format:transient</md:NameIDFormat>\n'
                    + "".join(f'<md:AssertionConsumerService index="{index}" isDefault="{str(index == 0).lower()}"'
                              ' Binding="urn:oasis:names:tc:SAML:2.0:bindings:HTTP-POST"'
                              f' Location="{host}/acs/{index}"/>\n' for index in range(3))
                    + '<md:AttributeConsumingService index="0"><md:ServiceName xml:lang="en">'
                    f'Service {number}</md:ServiceName>'
                    + "".join(f'<md:RequestedAttribute Name="urn:oid:2.5.4.{attribute}" isRequired="true"/>'
                              for attribute in range(3, 6))
                    + '</md:AttributeConsumingService>\n</md:SPSSODescriptor>\n')
        out.write(f'<md:EntityDescriptor entityID="{host}/metadata" ID="e{number}">\n{role}'
                  '<md:Organization><md:OrganizationName xml:lang="en">Organization '
                  f'{number}</md:OrganizationName><md:OrganizationName xml:lang="fr">Organisation '
                  f'{number}, caf\u00e9</md:OrganizationName><md:OrganizationDisplayName xml:lang="en">'
                  f'Org {number}</md:OrganizationDisplayName><md:OrganizationURL xml:lang="en">'
                  f'{host}/</md:OrganizationURL></md:Organization>\n'
                  '<md:ContactPerson contactType="technical"><md:GivenName>Ren\u00e9e</md:GivenName>'
                  f'<md:EmailAddress>mailto:admin@sp{number}.example.org</md:EmailAddress>'
                  '</md:ContactPerson>\n</md:EntityDescriptor>\n')
    out.write("</md:EntitiesDescriptor>\n")
    out.close()


def write_records(path, prologue, root_attributes, count):
    partial = path + ".partial"
    with open(partial, "w", encoding="ascii", newline="\n") as out:
        out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        out.write(prologue)
        out.write(f'<records source="vexlor bench"{root_attributes}>\n')
        batch = []
        for number in range(1, count + 1):
            batch.append(f'<record id="r{number}" kind="{KINDS[number % 3]}">'
                         f'<name>{NAMES[number % 7]}</name><qty>{number % 97 + 1}</qty></record>\n')
            if len(batch) == 10000:
                out.write("".join(batch))
                batch.clear()
        out.write("".join(batch))
        out.write("</records>\n")
    os.replace(partial, path)


def main():
    arguments = sys.argv[1:]
    startup = 0
    real = {}
    while arguments[:1] and arguments[0] in ("--startup", "--docbook", "--xhtml", "--saml"):
        if len(arguments) < 2:
            sys.exit(__doc__)
        if arguments[0] == "--startup":
            startup = int(arguments[1])
        else:
            real[arguments[0][2:]] = float(arguments[1])
        arguments = arguments[2:]
    if not arguments or (len(arguments) < 2 and not real and not startup):
        sys.exit(__doc__)
    directory = arguments[0]
    os.makedirs(directory, exist_ok=True)
    writers = {"docbook": write_docbook, "xhtml": write_xhtml, "saml": write_saml}
    for name, megabytes in real.items():
        writers[name](os.path.join(directory, f"{name}.xml"), megabytes)
    if len(arguments) < 2 and not startup:
        return
    with open(os.path.join(directory, "bench.dtd"), "w", encoding="ascii") as out:
        out.write(DTD)
    with open(os.path.join(directory, "bench-cdata.dtd"), "w", encoding="ascii") as out:
        out.write(DTD.replace("id   ID       ", "id   CDATA    "))
    with open(os.path.join(directory, "bench.xsd"), "w", encoding="ascii") as out:
        out.write(XSD)
    for number in range(1, startup + 1):
        write_records(os.path.join(directory, f"startup-dtd-{number:05}.xml"),
                      '<!DOCTYPE records SYSTEM "bench.dtd">\n', "", 10)
        write_records(os.path.join(directory, f"startup-xsd-{number:05}.xml"), "",
                      ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
                      ' xsi:noNamespaceSchemaLocation="bench.xsd"', 10)
    for count in map(int, arguments[1:]):
        write_records(os.path.join(directory, f"dtd-id-{count}.xml"),
                      '<!DOCTYPE records SYSTEM "bench.dtd">\n', "", count)
        write_records(os.path.join(directory, f"dtd-cdata-{count}.xml"),
                      '<!DOCTYPE records SYSTEM "bench-cdata.dtd">\n', "", count)
        write_records(os.path.join(directory, f"xsd-{count}.xml"), "",
                      ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
                      ' xsi:noNamespaceSchemaLocation="bench.xsd"', count)


if __name__ == "__main__":
    main()
