// The XML catalogs, read safely.
#pragma once

#include <string>

#include "platform/xml/ResourceName.h"

namespace platform::xml {

/// Lookups in the XML catalogs (XML_CATALOG_FILES, or /etc/xml/catalog).
/// libxml2 opens catalog files by name with its default inputs, which would
/// block on a FIFO; while a lookup runs, local files are opened as
/// LocalFile does, and one that is not a regular file reads as broken, so
/// that catalog is skipped rather than waited for.
class Catalogs {
public:
  Catalogs() = delete;

  /// Makes libxml2 open catalog files through here; call once, after
  /// xmlInitParser.
  static void install();

  /// What the catalogs map systemId (may be empty) or publicId (may be
  /// null) to, resolved as libxml2 means it (a relative result against the
  /// current directory); an empty name (uri "") when they map neither.
  static ResourceName lookup(const std::string& systemId, const char* publicId);

  /// Whether a lookup runs on this thread: its problems are a catalog's.
  static bool reading();
};

} // namespace platform::xml
