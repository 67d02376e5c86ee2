#include "e2e/FolderMatrix.h"

namespace e2e {

std::vector<MatrixDocument> writeFolderMatrix(
    const std::function<void(const std::string&, const std::string&)>& write,
    const std::vector<std::string>& extraFolders) {
  const std::string xsi = "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'";
  const std::string schemaStart = "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>";
  write("tree/xsd dir/n s.xsd", schemaStart + "<xs:include schemaLocation='n%20s2.xsd'/></xs:schema>");
  write("tree/xsd dir/n s2.xsd",
        schemaStart + "<xs:element name='doc'><xs:complexType><xs:sequence>"
                      "<xs:element name='item' type='xs:int' maxOccurs='unbounded'/>"
                      "</xs:sequence></xs:complexType></xs:element></xs:schema>");
  write("decoy/xsd dir/n s.xsd", schemaStart + "<xs:element name='doc'/></xs:schema>");
  write("decoy/inner/dtd/strict.dtd",
        "<!ELEMENT doc ANY><!ELEMENT item ANY><!ELEMENT bad ANY><!ENTITY ext ''>");

  std::vector<MatrixDocument> documents;
  std::vector<std::string> folders = {"with space", "per%cent", "hash#tag", "q?mark", "semi;colon",
                                      "br[a]ck",    "ünïcødé",  "日本語",   "a%20b"};
  folders.insert(folders.end(), extraFolders.begin(), extraFolders.end());
  for (const std::string& folder : folders) {
    const std::string base = "tree/" + folder + "/";
    write(base + "dtd/strict.dtd",
          "<!ELEMENT doc (item)*>\n<!ELEMENT item (#PCDATA)>\n"
          "<!ENTITY ext SYSTEM '../dtd/ext file.ent'>\n");
    write(base + "dtd/ext file.ent", "<item>from the entity</item>");
    const std::string dtdStart = "<!DOCTYPE doc SYSTEM 'dtd/strict.dtd'>\n<doc>&ext;";
    write(base + "dtd-valid.xml", dtdStart + "</doc>\n");
    write(base + "dtd-invalid.xml", dtdStart + "<bad/></doc>\n");
    const std::string hinted = "<doc " + xsi + " xsi:noNamespaceSchemaLocation='../xsd%20dir/n%20s.xsd'>";
    write(base + "xsd-valid.xml", hinted + "<item>1</item></doc>\n");
    write(base + "xsd-invalid.xml", hinted + "<item>one</item></doc>\n");
    for (const char* name : {"dtd-valid.xml", "dtd-invalid.xml", "xsd-valid.xml", "xsd-invalid.xml"}) {
      documents.push_back({base + name, std::string(name).find("-valid") != std::string::npos});
    }
  }
  return documents;
}

std::string escapePath(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        std::string("-._~/").find(c) != std::string::npos) {
      escaped.push_back(c);
    } else {
      escaped += {'%', hex[byte >> 4], hex[byte & 15]};
    }
  }
  return escaped;
}

} // namespace e2e
