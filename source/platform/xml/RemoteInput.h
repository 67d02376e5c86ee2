// libxml2 inputs over http:// and https://, for the external entity loader.
#pragma once

#include <cstddef>
#include <map>
#include <string>

struct _xmlParserCtxt;
struct _xmlParserInput;

namespace platform::xml {

/// Receives the failures of remote inputs (open, or later while reading).
class TransportErrorSink {
public:
  /// url is the URL as it was asked for; reason says what failed, e.g.
  /// "HTTP status 404 (Not Found)". Called at most once per input.
  virtual void transportFailed(const std::string& url, const std::string& reason) = 0;

protected:
  ~TransportErrorSink() = default;
};

/// The bodies of remote resources that one load keeps, so that a resource
/// referred to many times (an external entity, a DTD, a schema) is fetched
/// once. Bounded: a body that does not fit in what is left of the budget is
/// not kept, and the next reference to it fetches it again.
class RemoteBodies {
public:
  /// Enough for the DTDs, entities and schemas of real documents.
  static constexpr std::size_t defaultBudget = std::size_t{16} << 20;

  struct Body {
    /// The URL after redirects: the base of the references in the body.
    std::string finalUrl;
    std::string bytes;
  };

  explicit RemoteBodies(std::size_t budget = defaultBudget) : room(budget) {}

  /// The body kept for url (as it was asked for), or null.
  const Body* find(const std::string& url) const;
  /// Bytes that may still be kept.
  std::size_t roomLeft() const { return room; }
  /// Keeps body for url when it fits; a body already kept stays as it is.
  void keep(const std::string& url, Body body);

private:
  std::size_t room;
  std::map<std::string, Body> bodies;
};

/// Opens url as a libxml2 input of context: streams the body through a
/// RemoteResource (xmlParserInputBufferCreateIO + xmlNewIOInputStream), with
/// input->filename set to the FINAL url after redirects (so relative
/// references resolve against it). The input detects its encoding from the
/// body, as for a local file. On failure calls sink.transportFailed(url,
/// reason) and returns null. A read failure later also goes to the sink (the
/// sink must outlive the input); libxml2 then sees the end of the input.
/// Nothing is thrown, whatever the sink does.
/// With kept: a body kept there for url is read from memory instead of the
/// network, and a body read to its end is kept there when it fits.
_xmlParserInput* openRemoteInput(_xmlParserCtxt* context, const std::string& url,
                                 TransportErrorSink& sink, RemoteBodies* kept = nullptr) noexcept;

/// The size that the response for a remote input announces, 0 when it
/// announces none or input is not one that openRemoteInput made.
std::size_t announcedSize(const _xmlParserInput* input) noexcept;

} // namespace platform::xml
