#include "platform/xml/IdRegistry.h"

#include <cstring>
#include <stdexcept>

namespace platform::xml {

namespace {

// A slot holds the top bits of its value's hash, the value's block (plus
// one, so that 0 is an empty slot) and its place in the block. A value's
// first slot is given by the top bits of its hash too, so that while the
// table has at most 2^tagBits slots it grows without reading the values
// again (each a cache miss in a table of millions).
constexpr unsigned placeBits = 16;
constexpr unsigned blockBits = 24;
constexpr unsigned tagBits = 64 - placeBits - blockBits;
constexpr std::size_t blockSize = std::size_t{1} << placeBits;
constexpr std::uint64_t placeMask = (std::uint64_t{1} << (placeBits + blockBits)) - 1;
constexpr std::size_t firstSlots = 1024;

std::uint64_t hashOf(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  // FNV leaves the last bytes out of the top bits, which choose the slot.
  hash ^= hash >> 32;
  hash *= 0x9e3779b97f4a7c15ull;
  return hash ^ (hash >> 29);
}

std::uint64_t tagOf(std::uint64_t hash) { return hash >> (placeBits + blockBits) << (placeBits + blockBits); }

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

// Values, each followed by a 0 byte, in blocks that never move; a value
// longer than a block gets a block of its own.
class IdRegistry::Arena {
public:
  std::uint64_t store(std::string_view bytes) {
    if (blocks.empty() || used + bytes.size() + 1 > blockSize) {
      if (blocks.size() + 1 >= (std::size_t{1} << blockBits)) {
        throw std::length_error("too many ID bytes");
      }
      blocks.push_back(std::make_unique<char[]>(bytes.size() + 1 > blockSize ? bytes.size() + 1 : blockSize));
      used = 0;
    }
    char* at = blocks.back().get() + used;
    std::memcpy(at, bytes.data(), bytes.size());
    at[bytes.size()] = 0;
    const std::uint64_t place = (std::uint64_t{blocks.size()} << placeBits) | used;
    used += bytes.size() + 1;
    return place;
  }
  const char* at(std::uint64_t place) const {
    return blocks[((place & placeMask) >> placeBits) - 1].get() + (place & (blockSize - 1));
  }

private:
  std::vector<std::unique_ptr<char[]>> blocks;
  std::size_t used = 0;
};

IdRegistry::IdRegistry() : arena(std::make_unique<Arena>()) {}
IdRegistry::~IdRegistry() = default;

// The slot that holds id, or the empty one where it would go (slot); the
// slot's content, 0 when empty.
std::uint64_t IdRegistry::find(std::string_view id, std::uint64_t hash, std::size_t& slot) const {
  const std::size_t mask = slots.size() - 1;
  const std::uint64_t tag = tagOf(hash);
  for (slot = hash >> (64 - slotBits);; slot = (slot + 1) & mask) {
    const std::uint64_t content = slots[slot];
    if (content == 0) {
      return 0;
    }
    if ((content & ~placeMask) == tag) {
      const char* stored = arena->at(content);
      if (std::strncmp(stored, id.data(), id.size()) == 0 && stored[id.size()] == 0) {
        return content;
      }
    }
  }
}

void IdRegistry::grow() {
  std::vector<std::uint64_t> old(slots.empty() ? firstSlots : 2 * slots.size(), 0);
  old.swap(slots);
  slotBits = 0;
  while ((std::size_t{1} << slotBits) < slots.size()) {
    ++slotBits;
  }
  const std::size_t mask = slots.size() - 1;
  for (const std::uint64_t content : old) {
    if (content != 0) {
      std::size_t slot = (slotBits <= tagBits ? content : hashOf(arena->at(content))) >> (64 - slotBits);
      while (slots[slot] != 0) {
        slot = (slot + 1) & mask;
      }
      slots[slot] = content;
    }
  }
}

bool IdRegistry::declare(std::string_view id) {
  if (4 * (count + 1) > 3 * slots.size()) {
    grow();
  }
  const std::uint64_t hash = hashOf(id);
  std::size_t slot = 0;
  if (find(id, hash, slot) != 0) {
    return false;
  }
  slots[slot] = tagOf(hash) | arena->store(id);
  ++count;
  return true;
}

bool IdRegistry::declared(std::string_view id) const {
  if (count == 0) {
    return false;
  }
  std::size_t slot = 0;
  return find(id, hashOf(id), slot) != 0;
}

void IdRegistry::prefetch(std::string_view id) const {
  if (!slots.empty()) {
    __builtin_prefetch(&slots[hashOf(id) >> (64 - slotBits)]);
  }
}

std::uint32_t IdRegistry::attributeIndex(std::string_view attribute) {
  // A document has few reference attributes, and the last one is asked most.
  for (std::size_t i = attributes.size(); i-- > 0;) {
    if (attributes[i] == attribute) {
      return static_cast<std::uint32_t>(i);
    }
  }
  attributes.emplace_back(attribute);
  return static_cast<std::uint32_t>(attributes.size() - 1);
}

void IdRegistry::refer(std::string_view value, std::string_view attribute, int line) {
  std::size_t at = 0;
  while (at < value.size() && blank(value[at])) {
    ++at;
  }
  while (at < value.size()) {
    std::size_t end = at;
    while (end < value.size() && !blank(value[end])) {
      ++end;
    }
    const std::string_view name = value.substr(at, end - at);
    if (!declared(name)) {
      pending.push_back(Waiting{arena->store(name), attributeIndex(attribute), line});
    }
    at = end;
    while (at < value.size() && blank(value[at])) {
      ++at;
    }
  }
}

void IdRegistry::forEachDangling(
    const std::function<void(const std::string& attribute, int line, std::string_view name)>& fault) const {
  for (const Waiting& waiting : pending) {
    const std::string_view name = arena->at(waiting.name);
    if (!declared(name)) {
      fault(attributes[waiting.attribute], waiting.line, name);
    }
  }
}

} // namespace platform::xml
