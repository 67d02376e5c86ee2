// Hostile input for the built vexlor binary: every document is generated at
// run time, and every run is bounded in wall time and peak memory (the bounds
// sit well above what a run takes, so a loaded machine does not fail them,
// and far below what a run that loops or grows with the input would take).
// Each must end with the normal report and exit 255, or with "OK-" and exit 0
// where the input is in fact a valid document.

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <dirent.h>

#include "hostile/BoundedRun.h"
#include "support/ExpectedOutput.h"
#include "support/TemporaryDirectory.h"

namespace {

using namespace std::chrono_literals;
using namespace testsupport::expected;
using hostile::BoundedRun;
using hostile::Limits;
using hostile::Outcome;

const std::string xsi = "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";

constexpr long megabytes = 1024;

// Small inputs; the binary itself takes about 6 MB.
const Limits small{5s, 32 * megabytes};

// Under the sanitizers the binary takes several times as long and some
// hundred MB more (shadow memory, the quarantine of freed blocks).
Limits adjusted(const Limits& limits) {
#ifdef VEXLOR_SANITIZED
  return {limits.wallTime * 10, limits.peakKilobytes + 512 * megabytes};
#else
  return limits;
#endif
}

/// A folder for one test's documents, with helpers to write them.
class Documents : public testsupport::TemporaryDirectory {
public:
  /// Writes head, then piece count times, then tail, without building the
  /// whole document in memory.
  std::string writeRepeated(const std::string& name, const std::string& head, const std::string& piece,
                            std::size_t count, const std::string& tail) const {
    std::ofstream out(file(name), std::ios::binary);
    out << head;
    std::string block;
    for (std::size_t i = 0; i < 4096 && i < count; ++i) {
      block += piece;
    }
    const std::size_t perBlock = count < 4096 ? count : 4096;
    std::size_t written = 0;
    for (; written + perBlock <= count && perBlock > 0; written += perBlock) {
      out << block;
    }
    for (; written < count; ++written) {
      out << piece;
    }
    out << tail;
    out.close();
    if (!out) {
      throw std::runtime_error("cannot write " + name);
    }
    return name;
  }

  std::string fifo(const std::string& name) const {
    const std::string fullPath = file(name);
    if (::mkfifo(fullPath.c_str(), 0600) != 0) {
      throw std::runtime_error("mkfifo " + fullPath + ": " + std::strerror(errno));
    }
    return fullPath;
  }
};

Outcome runIn(const Documents& folder, const std::string& argument, const Limits& limits) {
  BoundedRun run(VEXLOR_BINARY, {argument}, folder.path(), adjusted(limits));
  return run.finish();
}

void expectWithinBounds(const Outcome& outcome, const Limits& bounds) {
  const Limits limits = adjusted(bounds);
  std::cout << "  bounded run: " << outcome.summary() << " (bounds " << limits.wallTime.count()
            << " ms, " << limits.peakKilobytes << " KB)\n";
  EXPECT_EQ(0, outcome.signal) << outcome.summary();
  EXPECT_FALSE(outcome.killedAtTimeLimit) << outcome.summary();
  EXPECT_FALSE(outcome.killedAtMemoryLimit) << outcome.summary();
  EXPECT_LE(outcome.wallTime, limits.wallTime) << outcome.summary();
  EXPECT_LE(outcome.peakKilobytes, limits.peakKilobytes) << outcome.summary();
}

/// The normal failure report for argument, holding detail somewhere in the
/// component's description.
void expectReport(const Outcome& outcome, const std::string& argument, const std::string& detail) {
  EXPECT_EQ(failureExit, outcome.exitCode) << outcome.summary();
  EXPECT_EQ(banner, outcome.standardOutput);
  const std::string head = reportHead(argument);
  const std::string& report = outcome.standardError;
  EXPECT_EQ(0u, report.compare(0, head.size(), head)) << report.substr(0, 400);
  EXPECT_TRUE(report.size() >= head.size() + reportEnd.size() &&
              report.compare(report.size() - reportEnd.size(), reportEnd.size(), reportEnd) == 0)
      << report.substr(0, 400);
  EXPECT_NE(std::string::npos, report.find(detail)) << "no \"" << detail << "\" in:\n"
                                                    << report.substr(0, 2000);
}

void expectAccepted(const Outcome& outcome, const std::string& argument) {
  EXPECT_EQ(0, outcome.exitCode) << outcome.summary() << "\n" << outcome.standardError.substr(0, 2000);
  EXPECT_EQ(banner + "OK-" + argument + "\n", outcome.standardOutput);
  EXPECT_EQ("", outcome.standardError.substr(0, 2000));
}

void expectRefused(const Documents& folder, const std::string& argument, const Limits& limits,
                   const std::string& detail) {
  const Outcome outcome = runIn(folder, argument, limits);
  expectWithinBounds(outcome, limits);
  expectReport(outcome, argument, detail);
}

void expectValid(const Documents& folder, const std::string& argument, const Limits& limits) {
  const Outcome outcome = runIn(folder, argument, limits);
  expectWithinBounds(outcome, limits);
  expectAccepted(outcome, argument);
}

std::string repeat(const std::string& piece, std::size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) {
    text += piece;
  }
  return text;
}

// Ten levels of ten references each: 10^10 times "lol" in the end.
std::string billionLaughsDeclarations() {
  std::string declarations = "<!ENTITY a0 \"lol\">\n";
  for (int level = 1; level <= 10; ++level) {
    declarations += "<!ENTITY a" + std::to_string(level) + " \"" +
                    repeat("&a" + std::to_string(level - 1) + ";", 10) + "\">\n";
  }
  return declarations;
}

// --- Entity expansion --------------------------------------------------------

TEST(EntityExpansion, BillionLaughsInContentIsRefused) {
  Documents folder;
  folder.write("laughs.xml", "<!DOCTYPE r [\n" + billionLaughsDeclarations() +
                                 "<!ELEMENT r (#PCDATA)>\n]>\n<r>&a10;</r>\n");
  // libxml2 2.9 and 2.10 stop it with a check of their own, in their own
  // words; the place is the same.
  expectRefused(folder, "laughs.xml", small, "laughs.xml:15:9: ");
}

TEST(EntityExpansion, BillionLaughsInAnAttributeValueIsRefused) {
  Documents folder;
  folder.write("laughs.xml", "<!DOCTYPE r [\n" + billionLaughsDeclarations() +
                                 "<!ELEMENT r EMPTY>\n<!ATTLIST r a CDATA #IMPLIED>\n]>\n"
                                 "<r a=\"&a10;\"/>\n");
  expectRefused(folder, "laughs.xml", small, "laughs.xml:16:12: ");
}

TEST(EntityExpansion, QuadraticBlowupIsRefused) {
  // 400 KB that would stand for 10 GB: one 100 KB entity, 100,000 references.
  Documents folder;
  folder.writeRepeated("quadratic.xml",
                       "<!DOCTYPE r [\n<!ENTITY e \"" + std::string(100000, 'x') +
                           "\">\n<!ELEMENT r (#PCDATA)>\n]>\n<r>",
                       "&e;", 100000, "</r>\n");
  expectRefused(folder, "quadratic.xml", small, "Excessive entity expansion");
}

TEST(EntityExpansion, QuadraticBlowupThroughAnExternalEntityIsRefused) {
  Documents folder;
  folder.write("big.ent", std::string(100000, 'y'));
  folder.writeRepeated("quadratic.xml",
                       "<!DOCTYPE r [\n<!ENTITY e SYSTEM \"big.ent\">\n<!ELEMENT r (#PCDATA)>\n]>\n<r>",
                       "&e;", 100000, "</r>\n");
  expectRefused(folder, "quadratic.xml", small, "Excessive entity expansion");
}

TEST(EntityExpansion, QuadraticBlowupOfParameterEntitiesInTheDtdIsRefused) {
  // 2.5 MB of attribute declarations, each followed by 100 KB of white space
  // from one parameter entity.
  Documents folder;
  std::string declarations = "<!ENTITY % p \"" + std::string(100000, ' ') + "\">\n<!ATTLIST r";
  for (int i = 0; i < 100000; ++i) {
    declarations += " a" + std::to_string(i) + " CDATA #IMPLIED %p;";
  }
  folder.write("blowup.dtd", declarations + ">\n<!ELEMENT r EMPTY>\n");
  folder.write("blowup.xml", "<!DOCTYPE r SYSTEM \"blowup.dtd\">\n<r/>\n");
  expectRefused(folder, "blowup.xml", small, "Excessive entity expansion");
}

TEST(EntityExpansion, ManyReferencesToASmallEntityAreFine) {
  // A million references expanding to 10 MB: linear, and a valid document.
  Documents folder;
  folder.writeRepeated("many.xml",
                       "<!DOCTYPE r [\n<!ENTITY e \"abcdefghij\">\n<!ELEMENT r (#PCDATA)>\n]>\n<r>",
                       "&e;", 1000000, "</r>\n");
  expectValid(folder, "many.xml", {20s, 32 * megabytes});
}

// --- Size and depth ------------------------------------------------------------

TEST(SizeAndDepth, TwoHundredThousandLevelsOfNestingAreRefused) {
  Documents folder;
  folder.write("deep.xml", repeat("<a>", 200000) + repeat("</a>", 200000));
  expectRefused(folder, "deep.xml", small, "Excessive depth in document");
}

TEST(SizeAndDepth, StartTagWithTooManyAttributesIsRefusedAtOnce) {
  // libxml2 2.9 to 2.11 would compare each attribute with all before it.
  Documents folder;
  std::string attributes;
  for (int i = 0; i < 480000; ++i) {
    attributes += " a" + std::to_string(i) + "='v'";
  }
  folder.write("wide.xml", "<r" + attributes + "/>\n");
  expectRefused(folder, "wide.xml", small, "wide.xml:1:");
  expectRefused(folder, "wide.xml", small, "too many attributes on one element: more than 10000");
  folder.write("bound.xml", "<r" + attributes.substr(0, attributes.find(" a10000=")) + "/>\n");
  expectValid(folder, "bound.xml", small);
}

TEST(SizeAndDepth, FiftyMegabyteAttributeValueIsRefused) {
  Documents folder;
  folder.writeRepeated("attribute.xml", "<r a=\"", std::string(1024, 'x'), 50 * 1024, "\"/>\n");
  expectRefused(folder, "attribute.xml", {15s, 96 * megabytes}, "attribute.xml:1:");
}

TEST(SizeAndDepth, FiftyMegabyteTextNodeStreamsThrough) {
  Documents folder;
  const std::string text(1024, 'x');
  folder.writeRepeated("plain.xml", "<r>", text, 50 * 1024, "</r>\n");
  expectValid(folder, "plain.xml", {15s, 32 * megabytes});
  folder.writeRepeated("dtd.xml", "<!DOCTYPE r [<!ELEMENT r (#PCDATA)>]>\n<r>", text, 50 * 1024,
                       "</r>\n");
  expectValid(folder, "dtd.xml", {15s, 32 * megabytes});
}

TEST(SizeAndDepth, FiftyMegabyteTextNodeUnderASchemaIsValidatedInLinearTime) {
  // The schema layer keeps a simple value whole, so memory follows its size.
  Documents folder;
  folder.write("string.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
               "<xs:element name=\"r\" type=\"xs:string\"/></xs:schema>");
  folder.writeRepeated("schema.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"string.xsd\">",
                       std::string(1024, 'x'), 50 * 1024, "</r>\n");
  expectValid(folder, "schema.xml", {20s, 256 * megabytes});
}

// libxml2's pattern engine gives up on a long value that needs much
// backtracking; the value then is not called invalid, only undecided.
TEST(SizeAndDepth, LongValueThePatternEngineGivesUpOnIsNamedAsSuch) {
  Documents folder;
  folder.write("pattern.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:element name=\"r\">"
               "<xs:simpleType><xs:restriction base=\"xs:string\"><xs:pattern value=\".*a.*c\"/>"
               "</xs:restriction></xs:simpleType></xs:element></xs:schema>");
  folder.write("long.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"pattern.xsd\">" +
                               std::string(5000, 'a') + "</r>\n");
  expectRefused(folder, "long.xml", small,
                "long.xml:1:5106: Element 'r': [facet 'pattern'] The value is too long for the pattern engine, "
                "which cannot tell whether it matches the pattern.\n Source");
}

TEST(SizeAndDepth, HundredsOfThousandsOfIdsAreTrackedInLinearTime) {
  // Memory grows with the IDs kept; every one must still be found, those
  // defined before the tables grew and after.
  Documents folder;
  std::string document = "<!DOCTYPE r [<!ELEMENT r (e*)><!ELEMENT e EMPTY>"
                         "<!ATTLIST e id ID #REQUIRED ref IDREF #IMPLIED>]>\n"
                         "<r>\n<e id=\"first\" ref=\"last\"/>\n";
  for (int i = 0; i < 300000; ++i) {
    document += "<e id=\"i" + std::to_string(i) + "\"/>\n";
  }
  folder.write("ids.xml", document + "<e id=\"first\" ref=\"nowhere\"/>\n<e id=\"last\" ref=\"i7\"/>\n</r>\n");
  const Limits limits{20s, 192 * megabytes};
  const Outcome outcome = runIn(folder, "ids.xml", limits);
  expectWithinBounds(outcome, limits);
  expectReport(outcome, "ids.xml", "ids.xml:300004:28: ID first already defined\n");
  EXPECT_NE(std::string::npos, outcome.standardError.find("references an unknown ID \"nowhere\"\n"));
  EXPECT_EQ(std::string::npos, outcome.standardError.find("\"i7\""));
  EXPECT_EQ(std::string::npos, outcome.standardError.find("\"last\""));
}

// --- Devices and FIFOs -----------------------------------------------------------
// A document may refer to regular files and URLs only: a device or a FIFO
// could block or never end, so each is refused, whatever refers to it.

struct Referrer {
  const char* what;
  std::function<void(const Documents&, const std::string&)> write;
};

std::vector<Referrer> referrers() {
  const std::string schemaStart = "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">";
  return {
      {"external DTD",
       [](const Documents& folder, const std::string& target) {
         folder.write("doc.xml", "<!DOCTYPE r SYSTEM \"" + target + "\">\n<r/>\n");
       }},
      {"external general entity",
       [](const Documents& folder, const std::string& target) {
         folder.write("doc.xml", "<!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e SYSTEM \"" + target +
                                     "\">]>\n<r>&e;</r>\n");
       }},
      {"external parameter entity",
       [](const Documents& folder, const std::string& target) {
         folder.write("doc.xml",
                      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + target + "\"> %p;]>\n<r/>\n");
       }},
      {"schema hint",
       [](const Documents& folder, const std::string& target) {
         folder.write("doc.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"" + target + "\"/>\n");
       }},
      {"schema include",
       [schemaStart](const Documents& folder, const std::string& target) {
         folder.write("outer.xsd", schemaStart + "<xs:include schemaLocation=\"" + target +
                                       "\"/><xs:element name=\"r\"/></xs:schema>");
         folder.write("doc.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"outer.xsd\"/>\n");
       }},
      {"schema import",
       [schemaStart](const Documents& folder, const std::string& target) {
         folder.write("outer.xsd", schemaStart + "<xs:import namespace=\"urn:x\" schemaLocation=\"" +
                                       target + "\"/><xs:element name=\"r\"/></xs:schema>");
         folder.write("doc.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"outer.xsd\"/>\n");
       }},
  };
}

void expectEveryReferenceRefused(const std::string& target) {
  {
    Documents folder;
    SCOPED_TRACE("the document itself");
    expectRefused(folder, target, small, "not a regular file");
  }
  for (const Referrer& referrer : referrers()) {
    SCOPED_TRACE(referrer.what);
    Documents folder;
    referrer.write(folder, target);
    expectRefused(folder, "doc.xml", small, "failed to load \"" + target + "\": not a regular file");
  }
}

TEST(DevicesAndFifos, DevZeroIsRefusedWhereverItIsNamed) { expectEveryReferenceRefused("/dev/zero"); }

TEST(DevicesAndFifos, DevUrandomIsRefusedWhereverItIsNamed) {
  expectEveryReferenceRefused("/dev/urandom");
}

TEST(DevicesAndFifos, FifoThatNobodyWritesIsRefusedWhereverItIsNamed) {
  Documents fifoFolder;
  expectEveryReferenceRefused(fifoFolder.fifo("silent.fifo"));
}

// A DTD swapped for a FIFO between any two steps of a run: what is checked
// is what is read, so no run waits for a writer.
TEST(DevicesAndFifos, DtdSwappedForAFifoWhileRunsGoOnNeverBlocks) {
  Documents folder;
  folder.write("doc.xml", "<!DOCTYPE r SYSTEM \"r.dtd\">\n<r/>\n");
  folder.write("regular.dtd", "<!ELEMENT r EMPTY>\n");
  folder.fifo("fifo.dtd");
  const std::string target = folder.file("r.dtd");
  // In place before the first run, which may start before the swapper does.
  ::link(folder.file("regular.dtd").c_str(), target.c_str());
  std::atomic<bool> swapping{true};
  std::thread swapper([&] {
    for (bool fifo = false; swapping; fifo = !fifo) {
      // A hard link keeps both originals; rename puts one in place at once.
      const std::string next = folder.file(fifo ? "fifo.dtd" : "regular.dtd");
      ::link(next.c_str(), (target + ".next").c_str());
      ::rename((target + ".next").c_str(), target.c_str());
    }
  });
  for (int run = 0; run < 100; ++run) {
    const Outcome outcome = runIn(folder, "doc.xml", small);
    EXPECT_FALSE(outcome.killedAtTimeLimit) << "run " << run << ": " << outcome.summary();
    if (outcome.exitCode != 0) {
      EXPECT_NE(std::string::npos, outcome.standardError.find("not a regular file")) << outcome.standardError;
    }
  }
  swapping = false;
  swapper.join();
}

// --- Resources that refer to themselves ----------------------------------------------

TEST(SelfReference, DtdIncludingItselfThroughAParameterEntityIsRefused) {
  Documents folder;
  folder.write("self.dtd", "<!ENTITY % self SYSTEM \"self.dtd\">\n%self;\n<!ELEMENT r EMPTY>\n");
  folder.write("doc.xml", "<!DOCTYPE r SYSTEM \"self.dtd\">\n<r/>\n");
  expectRefused(folder, "doc.xml", small, "self.dtd:");
}

// A document met again is the same document: the include adds nothing.
TEST(SelfReference, SchemaIncludingItselfValidates) {
  Documents folder;
  folder.write("self.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
               "<xs:include schemaLocation=\"self.xsd\"/><xs:element name=\"r\" type=\"xs:int\"/></xs:schema>");
  folder.write("valid.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"self.xsd\">1</r>\n");
  folder.write("invalid.xml", "<r " + xsi + " xsi:noNamespaceSchemaLocation=\"self.xsd\">one</r>\n");
  expectValid(folder, "valid.xml", small);
  expectRefused(folder, "invalid.xml", small, "'one' is not a valid value of the atomic type 'xs:int'");
}

TEST(SelfReference, TwoSchemasImportingEachOtherValidate) {
  Documents folder;
  folder.write("a.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"urn:a\" "
               "xmlns:b=\"urn:b\"><xs:import namespace=\"urn:b\" schemaLocation=\"b.xsd\"/>"
               "<xs:element name=\"r\"><xs:complexType><xs:sequence>"
               "<xs:element ref=\"b:s\" minOccurs=\"0\"/></xs:sequence></xs:complexType></xs:element>"
               "</xs:schema>");
  folder.write("b.xsd",
               "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"urn:b\">"
               "<xs:import namespace=\"urn:a\" schemaLocation=\"a.xsd\"/><xs:element name=\"s\"/>"
               "</xs:schema>");
  const std::string root = "<a:r xmlns:a=\"urn:a\" xmlns:b=\"urn:b\" " + xsi +
                           " xsi:schemaLocation=\"urn:a a.xsd\">";
  folder.write("valid.xml", root + "<b:s/></a:r>\n");
  folder.write("invalid.xml", root + "<x/></a:r>\n");
  expectValid(folder, "valid.xml", small);
  expectRefused(folder, "invalid.xml", small, "Element 'x': This element is not expected.");
}

// --- Broken encodings ----------------------------------------------------------------

TEST(Encoding, InvalidUtf8AtTheLastByteOfALargeFileIsRefused) {
  Documents folder;
  folder.writeRepeated("large.xml", "<r>", "<e>caf\xc3\xa9</e>\n", 2000000, "\xff</r>");
  expectRefused(folder, "large.xml", {15s, 32 * megabytes}, "large.xml:2000001:1: ");
  folder.writeRepeated("trailing.xml", "<r>", "<e>caf\xc3\xa9</e>\n", 2000000, "</r>\xff");
  expectRefused(folder, "trailing.xml", {15s, 32 * megabytes}, "trailing.xml:2000001:");
}

TEST(Encoding, FileEndingInTheMiddleOfAMultiByteCharacterIsRefused) {
  Documents folder;
  folder.writeRepeated("cut-text.xml", "<r>", "<e>caf\xc3\xa9</e>\n", 1000, "<e>\xe2\x82");
  expectRefused(folder, "cut-text.xml", small, "cut-text.xml:");
  folder.write("cut-attribute.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r a=\"\xe2\x82");
  expectRefused(folder, "cut-attribute.xml", small, "cut-attribute.xml:1:");
}

// --- The argument ------------------------------------------------------------------------

TEST(Argument, HundredKilobytePathIsEchoedAndRefused) {
  Documents folder;
  const std::string path = repeat("d/", 50000);
  expectRefused(folder, path, small, "failed to load \"" + path + "\"");
}

TEST(Argument, HundredKilobyteUrlIsEchoedAndRefused) {
  Documents folder;
  const std::string url = "http://" + std::string(100000, 'h') + "/doc.xml";
  expectRefused(folder, url, small, "failed to load \"");
}

// --- Files that change while they are read ---------------------------------------------
// The child is started on a large document and stopped (SIGSTOP) as soon as
// its descriptor for the document shows that reading has begun; the file is
// then truncated or deleted, and the child continued. The document is large
// enough (and DTD-validated, so read slowly) that reading never ends before
// the stop; the test checks that it did not.

// The read offset of pid's descriptor for path, or -1 while it has none.
long long readOffset(pid_t pid, const std::string& path) {
  const std::string fdFolder = "/proc/" + std::to_string(pid) + "/fd";
  DIR* folder = ::opendir(fdFolder.c_str());
  if (folder == nullptr) {
    return -1;
  }
  long long offset = -1;
  while (const dirent* entry = ::readdir(folder)) {
    char target[4096];
    const ssize_t length = ::readlink((fdFolder + "/" + entry->d_name).c_str(), target, sizeof target - 1);
    if (length <= 0 || std::string(target, static_cast<std::size_t>(length)) != path) {
      continue;
    }
    std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + entry->d_name);
    std::string label;
    if (info >> label >> offset && label == "pos:") {
      break;
    }
    offset = -1;
  }
  ::closedir(folder);
  return offset;
}

std::string writeLargeDocument(const Documents& folder) {
  folder.write("large.dtd", "<!ELEMENT r (e*)>\n<!ELEMENT e (#PCDATA)>\n<!ATTLIST e n CDATA #REQUIRED>\n");
  return folder.writeRepeated("large.xml", "<!DOCTYPE r SYSTEM \"large.dtd\">\n<r>\n",
                              "<e n=\"1\">some text in an element</e>\n", 2000000, "</r>\n");
}

/// Runs vexlor on the large document and calls change(path, offset) while it
/// is stopped with offset bytes of the file read.
Outcome runChangingTheFile(const Documents& folder, const std::function<void(const std::string&, long long)>& change) {
  const std::string name = writeLargeDocument(folder);
  const std::string path = folder.file(name);
  struct stat status {};
  ::stat(path.c_str(), &status);
  const Limits limits{20s, 32 * megabytes};
  BoundedRun run(VEXLOR_BINARY, {name}, folder.path(), adjusted(limits));
  long long offset = -1;
  const auto giveUp = std::chrono::steady_clock::now() + 10s;
  while (offset <= 0 && std::chrono::steady_clock::now() < giveUp) {
    offset = readOffset(run.pid(), path);
    if (offset <= 0) {
      std::this_thread::sleep_for(200us);
    }
  }
  ::kill(run.pid(), SIGSTOP);
  offset = readOffset(run.pid(), path);
  EXPECT_GT(offset, 0) << "reading never began";
  EXPECT_LT(offset, static_cast<long long>(status.st_size)) << "the whole file was read before the change";
  change(path, offset);
  ::kill(run.pid(), SIGCONT);
  Outcome outcome = run.finish();
  expectWithinBounds(outcome, limits);
  return outcome;
}

TEST(ChangingFiles, FileTruncatedWhileReadIsRefused) {
  Documents folder;
  const Outcome outcome = runChangingTheFile(folder, [](const std::string& path, long long offset) {
    ASSERT_EQ(0, ::truncate(path.c_str(), offset + 1000000));
  });
  // Where the text now ends, whatever libxml2 makes of it (a cut tag or
  // attribute reads differently from series to series).
  expectReport(outcome, "large.xml", "Description: large.xml:");
}

TEST(ChangingFiles, FileTruncatedToNothingWhileReadIsRefused) {
  Documents folder;
  const Outcome outcome = runChangingTheFile(folder, [](const std::string& path, long long) {
    ASSERT_EQ(0, ::truncate(path.c_str(), 0));
  });
  expectReport(outcome, "large.xml", "Description: large.xml:");
}

TEST(ChangingFiles, FileDeletedWhileReadIsStillReadToTheEnd) {
  // The open descriptor keeps the deleted file's content: the document is whole.
  Documents folder;
  const Outcome outcome = runChangingTheFile(folder, [](const std::string& path, long long) {
    ASSERT_EQ(0, ::unlink(path.c_str()));
  });
  expectAccepted(outcome, "large.xml");
}

} // namespace
