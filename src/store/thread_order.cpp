#include "store/thread_order.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace zelk::store {

namespace {

constexpr int kNone = -1;

// The forest of replies: each item's parent and its children in mailbox order.
struct Forest {
  std::vector<int> parent;
  std::vector<int> firstChild;
  std::vector<int> lastChild;
  std::vector<int> nextSibling;
  std::vector<int> depth;
};

// Message-Id to the latest item that carries it, in one flat table: no allocation per id, which
// in a large mailbox costs more than the look-ups. The hash is seeded per process so that crafted
// ids cannot be made to pile up in one run of slots.
class IdIndex {
 public:
  explicit IdIndex(std::size_t count) {
    std::size_t capacity = 16;
    while (capacity < count * 2) capacity *= 2;
    slots_.resize(capacity);
    mask_ = capacity - 1;
  }

  int Find(std::string_view id, std::uint64_t hash) const {
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.index == kNone) return kNone;
      if (Matches(slot, hash, id)) return slot.index;
    }
  }

  void Set(std::string_view id, std::uint64_t hash, int index) {
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      Slot& slot = slots_[at];
      if (slot.index == kNone) {
        slot = Slot{hash, id.data(), id.size(), index};
        return;
      }
      if (Matches(slot, hash, id)) {
        slot.index = index;
        return;
      }
    }
  }

  // Asks for the slot a look-up will start at, some items ahead: the table is far larger than
  // the caches and each first probe would otherwise wait for memory.
  void Prefetch(std::uint64_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }

  // Eight bytes at a time, each step multiplied and folded, then a final avalanche.
  static std::uint64_t Hash(std::string_view id) {
    std::uint64_t hash = Seed() ^ (id.size() * 0x9E3779B97F4A7C15ull);
    std::size_t at = 0;
    for (; at + 8 <= id.size(); at += 8) {
      std::uint64_t chunk;
      std::memcpy(&chunk, id.data() + at, 8);
      hash = (hash ^ chunk) * 0xBF58476D1CE4E5B9ull;
      hash ^= hash >> 31;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, id.data() + at, id.size() - at);
    hash = (hash ^ tail) * 0x94D049BB133111EBull;
    hash ^= hash >> 32;
    hash *= 0xBF58476D1CE4E5B9ull;
    return hash ^ (hash >> 29);
  }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    const char* data = nullptr;
    std::size_t size = 0;
    int index = kNone;
  };

  static bool Matches(const Slot& slot, std::uint64_t hash, std::string_view id) {
    return slot.hash == hash && slot.size == id.size() && std::memcmp(slot.data, id.data(), id.size()) == 0;
  }

  static std::uint64_t Seed() {
    static const std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(&seed);
    return seed;
  }

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

// Links every item to the nearest earlier item that carries its InReplyTo, else its References.
// The index holds, per Message-Id, the latest item seen so far, so a lookup made before an item's
// own id goes in answers exactly what a backward search over the earlier items would, and an item
// can never be its own ancestor.
Forest LinkReplies(const std::vector<ItemRef>& items) {
  const std::size_t count = items.size();
  Forest forest;
  forest.parent.assign(count, kNone);
  forest.firstChild.assign(count, kNone);
  forest.lastChild.assign(count, kNone);
  forest.nextSibling.assign(count, kNone);
  forest.depth.assign(count, 0);

  // The hashes of an item's three ids, worked out a few items before they are needed.
  struct Hashes {
    std::uint64_t inReplyTo = 0;
    std::uint64_t references = 0;
    std::uint64_t messageId = 0;
  };
  constexpr std::size_t kAhead = 8;
  Hashes ahead[kAhead];
  IdIndex latest(count);
  const auto prepare = [&](std::size_t i) {
    Hashes& hashes = ahead[i % kAhead];
    const MailItem* item = i < count ? items[i].get() : nullptr;
    if (item == nullptr) return;
    const auto hashOf = [&latest](const OptionalText& id, std::uint64_t& hash) {
      if (!id) return;
      hash = IdIndex::Hash(*id);
      latest.Prefetch(hash);
    };
    hashOf(item->InReplyTo, hashes.inReplyTo);
    hashOf(item->References, hashes.references);
    hashOf(item->MessageId, hashes.messageId);
  };
  for (std::size_t i = 0; i < kAhead; ++i) prepare(i);

  for (std::size_t i = 0; i < count; ++i) {
    const Hashes hashes = ahead[i % kAhead];
    prepare(i + kAhead);
    MailItem* item = items[i].get();
    if (item == nullptr) continue;
    const int index = static_cast<int>(i);
    int parent = item->InReplyTo ? latest.Find(*item->InReplyTo, hashes.inReplyTo) : kNone;
    if (parent == kNone && item->References) parent = latest.Find(*item->References, hashes.references);
    if (parent != kNone) {
      forest.parent[i] = parent;
      forest.depth[i] = forest.depth[static_cast<std::size_t>(parent)] + 1;
      int& last = forest.lastChild[static_cast<std::size_t>(parent)];
      if (last == kNone) {
        forest.firstChild[static_cast<std::size_t>(parent)] = index;
      } else {
        forest.nextSibling[static_cast<std::size_t>(last)] = index;
      }
      last = index;
    }
    if (item->MessageId) latest.Set(*item->MessageId, hashes.messageId, index);
  }
  return forest;
}

}  // namespace

int BuildThreadOrder(MailBox& box) {
  const std::vector<ItemRef>& items = box.Items;
  if (items.empty()) return 0;
  if (items[0] && items[0]->ThreadNext != 0) return static_cast<int>(items.size());

  const Forest forest = LinkReplies(items);

  // Each thread in preorder: the parent, then each reply (oldest first) with all of its own
  // replies. That is where inserting every reply after its parent's earlier replies puts it.
  // Walked with the parent links rather than recursion, so no depth of replies can exhaust the stack.
  const std::size_t count = items.size();
  std::vector<int> order(count, kNone);
  std::vector<int> next(count, 0);
  int numbered = 0;
  int previous = kNone;
  const auto visit = [&](int index) {
    order[static_cast<std::size_t>(index)] = numbered++;
    if (previous != kNone) next[static_cast<std::size_t>(previous)] = index;
    previous = index;
  };
  for (std::size_t root = 0; root < count; ++root) {
    if (!items[root] || forest.parent[root] != kNone) continue;
    int at = static_cast<int>(root);
    for (;;) {
      visit(at);
      if (forest.firstChild[static_cast<std::size_t>(at)] != kNone) {
        at = forest.firstChild[static_cast<std::size_t>(at)];
        continue;
      }
      while (at != static_cast<int>(root) && forest.nextSibling[static_cast<std::size_t>(at)] == kNone) {
        at = forest.parent[static_cast<std::size_t>(at)];
      }
      if (at == static_cast<int>(root)) break;
      at = forest.nextSibling[static_cast<std::size_t>(at)];
    }
  }

  for (std::size_t i = 0; i < count; ++i) {
    MailItem* item = items[i].get();
    if (item == nullptr) continue;
    item->ThreadDepth = forest.depth[i];
    item->ThreadOrder = order[i];
    item->ThreadNext = next[i];
  }
  return numbered;
}

}  // namespace zelk::store
