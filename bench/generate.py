#!/usr/bin/env python3
"""Writes the benchmark documents: one list of order records, with an
external DTD that declares the record ids as IDs, with one that declares them
as plain CDATA, and with a schema hint; plus the two DTDs and the schema.

  generate.py [--startup COUNT] DIRECTORY RECORDS...

For each count N it writes DIRECTORY/dtd-id-N.xml, DIRECTORY/dtd-cdata-N.xml
and DIRECTORY/xsd-N.xml; it always writes bench.dtd, bench-cdata.dtd and
bench.xsd. With --startup it also writes COUNT small documents of ten records
each, validated by bench.dtd (startup-dtd-K.xml) and by the schema hint
(startup-xsd-K.xml), for timing one process per document. Every record is three elements with attributes and text and a
distinct id, so with bench.dtd the validators track one ID per record.
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
    if arguments[:1] == ["--startup"] and len(arguments) > 1:
        startup = int(arguments[1])
        arguments = arguments[2:]
    if len(arguments) < 2:
        sys.exit(__doc__)
    directory = arguments[0]
    os.makedirs(directory, exist_ok=True)
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
