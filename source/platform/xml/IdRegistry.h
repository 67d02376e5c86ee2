// The IDs of one document and the references that wait for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::xml {

/// Every ID value a document declares, each kept once, and the reference
/// names (of IDREF and IDREFS values) that named no ID yet when they were
/// read. A name that names an ID already declared is settled at once and
/// kept nowhere. Values live in an arena of blocks (no allocation per ID);
/// the set is an open-addressing table of 8-byte slots, at most three
/// quarters full: an ID costs its length plus one byte and 11 to 21 bytes
/// of table, a waiting name its length plus one byte and 16 bytes (up to
/// twice that while its list grows).
class IdRegistry {
public:
  IdRegistry();
  IdRegistry(const IdRegistry&) = delete;
  IdRegistry& operator=(const IdRegistry&) = delete;
  ~IdRegistry();

  /// Records id; false when it was declared before (nothing changes then).
  bool declare(std::string_view id);
  bool declared(std::string_view id) const;
  /// Asks the memory for the slot where id is looked up, so that declaring
  /// it a little later finds the slot at hand: in a table of millions each
  /// lookup is otherwise a wait for memory. Changes nothing.
  void prefetch(std::string_view id) const;
  /// The IDs declared so far.
  std::size_t size() const { return count; }

  /// A reference value of attribute, on line: its names are its runs of
  /// characters other than blanks (space, tab, line feed, carriage return),
  /// blanks before the first included. Names not declared yet wait for the
  /// document's end.
  void refer(std::string_view value, std::string_view attribute, int line);
  /// Names waiting now.
  std::size_t waiting() const { return pending.size(); }

  /// Calls fault for each waiting name that no ID declares, in the order
  /// the references were read.
  void forEachDangling(const std::function<void(const std::string& attribute, int line, std::string_view name)>&
                           fault) const;

private:
  struct Waiting {
    std::uint64_t name;
    std::uint32_t attribute;
    int line;
  };
  class Arena;

  std::uint64_t find(std::string_view id, std::uint64_t hash, std::size_t& slot) const;
  void grow();
  std::uint32_t attributeIndex(std::string_view attribute);

  std::unique_ptr<Arena> arena;
  std::vector<std::uint64_t> slots;
  unsigned slotBits = 0; // slots.size() is 2^slotBits
  std::size_t count = 0;
  std::vector<Waiting> pending;
  std::vector<std::string> attributes;
};

} // namespace platform::xml
