#include "szdd_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "formats/szdd_format.h"

namespace szdd {
namespace {

// Value-initialised, `Match{}` is no match.
struct Match {
    std::uint32_t length;
    std::uint32_t distance;
};

// Binary-tree match finder over the decoder's view of the data: the ring's 4,096 initial
// spaces followed by the input, so that a distance of 1 to 4,096 bytes back is exactly what a
// reference can reach. Every position is inserted into the tree of its four-byte hash; the
// tree keeps the positions of the window ordered by the (at most 18) bytes that follow them,
// so the walk from the root to the new position's place passes its longest match of four
// bytes or more. A position that equals an older one in all compared bytes takes its place,
// and nodes that left the window are cut off where the walk meets them (their subtrees are
// older still). Three-byte matches, which a four-byte tree cannot see, come from a chain of
// the positions with the same three-byte hash.
class MatchFinder {
  public:
    explicit MatchFinder(std::span<const std::uint8_t> view) : view_(view) {}

    // Inserts `position` and gives its longest match, if one of at least three bytes exists.
    // The view holds at least three bytes from `position` on.
    Match Insert(std::uint32_t position) {
        const std::uint32_t limit =
            static_cast<std::uint32_t>(std::min(kMaxMatch, view_.size() - position));
        const std::uint8_t* const current = view_.data() + position;
        std::uint32_t& chainHead = head3_[Hash(current, 3)];
        const std::uint32_t sameThree = chainHead;
        chain3_[Slot(position)] = sameThree;
        chainHead = position;
        if (limit > kMinMatch) {
            if (const Match match = InsertIntoTree(position, current, limit);
                match.length >= kMinMatch) {
                return match;
            }
        }
        return ThreeByteMatch(position, current, sameThree);
    }

  private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();
    // Live nodes lie at most 4,096 positions back; a larger power of two keeps their slots
    // apart and makes the slot a mask.
    static constexpr std::uint32_t kSlots = 2 * kWindowSize;
    static constexpr int kHashBits = 16;
    static constexpr std::uint32_t kHashMultiplier = 2654435761U;

    // A hash of the first `bytes` (3 or 4) bytes at `at`; the view's padding makes the
    // four-byte load safe.
    static std::uint32_t Hash(const std::uint8_t* at, int bytes) {
        std::uint32_t word;
        std::memcpy(&word, at, sizeof word);
        const int unused = 8 * (4 - bytes);
        const std::uint32_t key =
            std::endian::native == std::endian::little ? word << unused : word >> unused;
        return (key * kHashMultiplier) >> (32 - kHashBits);
    }

    static std::uint32_t Slot(std::uint32_t position) { return position & (kSlots - 1); }

    static bool InWindow(std::uint32_t position, std::uint32_t candidate) {
        return candidate != kEmpty && position - candidate <= kWindowSize;
    }

    // How many of the first `limit` bytes at `a` and `b` agree, knowing that the first `from`
    // do. Compares eight bytes at a time; the view's padding keeps the loads inside it.
    static std::uint32_t CommonLength(const std::uint8_t* a, const std::uint8_t* b,
                                      std::uint32_t from, std::uint32_t limit) {
        for (std::uint32_t length = from; length < limit; length += sizeof(std::uint64_t)) {
            std::uint64_t x;
            std::uint64_t y;
            std::memcpy(&x, a + length, sizeof x);
            std::memcpy(&y, b + length, sizeof y);
            if (const std::uint64_t diff = x ^ y; diff != 0) {
                const int sameBits = std::endian::native == std::endian::little
                                         ? std::countr_zero(diff)
                                         : std::countl_zero(diff);
                return std::min(limit, length + static_cast<std::uint32_t>(sameBits / 8));
            }
        }
        return limit;
    }

    Match InsertIntoTree(std::uint32_t position, const std::uint8_t* current, std::uint32_t limit) {
        std::uint32_t& root = head4_[Hash(current, 4)];
        std::uint32_t candidate = root;
        root = position;
        std::uint32_t* smaller = Children(position);
        std::uint32_t* larger = smaller + 1;
        std::uint32_t smallerLength = 0;
        std::uint32_t largerLength = 0;
        Match best{};
        while (InWindow(position, candidate)) {
            const std::uint8_t* const older = view_.data() + candidate;
            // The candidate lies between the two bounds, so it shares at least the shorter of
            // their common lengths with the current position.
            const std::uint32_t length =
                CommonLength(older, current, std::min(smallerLength, largerLength), limit);
            std::uint32_t* const children = Children(candidate);
            if (length > best.length) {
                best = {length, position - candidate};
            }
            if (length == limit) {
                smaller[0] = children[0];
                larger[0] = children[1];
                return best;
            }
            if (older[length] < current[length]) {
                *smaller = candidate;
                smaller = children + 1;
                candidate = *smaller;
                smallerLength = length;
            } else {
                *larger = candidate;
                larger = children;
                candidate = *larger;
                largerLength = length;
            }
        }
        *smaller = kEmpty;
        *larger = kEmpty;
        return best;
    }

    // The nearest position in the window with the same first three bytes, starting from the
    // newest one of the same hash.
    Match ThreeByteMatch(std::uint32_t position, const std::uint8_t* current,
                         std::uint32_t candidate) const {
        for (; InWindow(position, candidate); candidate = chain3_[Slot(candidate)]) {
            if (std::memcmp(view_.data() + candidate, current, kMinMatch) == 0) {
                return {static_cast<std::uint32_t>(kMinMatch), position - candidate};
            }
        }
        return {};
    }

    std::uint32_t* Children(std::uint32_t position) { return &tree_[2 * Slot(position)]; }

    std::span<const std::uint8_t> view_;
    std::vector<std::uint32_t> head3_ = std::vector<std::uint32_t>(1U << kHashBits, kEmpty);
    std::vector<std::uint32_t> head4_ = std::vector<std::uint32_t>(1U << kHashBits, kEmpty);
    std::vector<std::uint32_t> chain3_ = std::vector<std::uint32_t>(kSlots, kEmpty);
    std::vector<std::uint32_t> tree_ = std::vector<std::uint32_t>(2 * kSlots, kEmpty);
};

// The longest match at every position of the input.
struct Matches {
    std::vector<std::uint8_t> length;
    std::vector<std::uint16_t> distance;
};

// Room behind the view for the match finder's eight-byte loads past the last compared byte.
constexpr std::size_t kViewPadding = kMaxMatch + sizeof(std::uint64_t);

// How many positions the match finder passes between two progress reports.
constexpr std::size_t kProgressStep = 1 << 18;

Matches FindMatches(std::span<const std::uint8_t> data, const Progress& progress) {
    std::vector<std::uint8_t> padded(kWindowSize + data.size() + kViewPadding, kWindowFill);
    std::ranges::copy(data, padded.begin() + kWindowSize);
    const std::span view = std::span{padded}.first(kWindowSize + data.size());
    Matches matches{std::vector<std::uint8_t>(data.size()),
                    std::vector<std::uint16_t>(data.size())};
    MatchFinder finder{view};
    // Positions with fewer than three bytes after them can neither have nor give a match.
    const std::size_t last = view.size() - kMinMatch + 1;
    for (std::size_t position = 0; position < last; ++position) {
        if (progress && position % kProgressStep == 0) {
            progress(position, view.size());
        }
        const Match match = finder.Insert(static_cast<std::uint32_t>(position));
        if (position >= kWindowSize) {
            matches.length[position - kWindowSize] = static_cast<std::uint8_t>(match.length);
            matches.distance[position - kWindowSize] = static_cast<std::uint16_t>(match.distance);
        }
    }
    return matches;
}

// The fewest bits that encode the input from each position to its end, found from the end
// backwards: a literal and the rest, or a reference of 3 to the longest match's length and
// the rest.
std::vector<std::uint32_t> CheapestCosts(const Matches& matches) {
    // Above any cost, with room to add a reference's bits.
    constexpr std::uint32_t kUnreachable = std::numeric_limits<std::uint32_t>::max() / 2;
    const std::size_t size = matches.length.size();
    std::vector<std::uint32_t> cost(size + 1);
    for (std::size_t at = size; at-- > 0;) {
        const std::uint32_t longest = matches.length[at];
        std::uint32_t viaReference = kUnreachable;
        for (std::uint32_t length = kMinMatch; length <= longest; ++length) {
            viaReference = std::min(viaReference, cost[at + length]);
        }
        cost[at] = std::min(cost[at + 1] + kLiteralBits, viaReference + kReferenceBits);
    }
    return cost;
}

// The reference length to take at `at` on a cheapest path, or 0 for a literal. Among equally
// cheap choices the longest reference wins: fewer items expand faster.
std::uint32_t CheapestStep(const Matches& matches, const std::vector<std::uint32_t>& cost,
                           std::size_t at) {
    for (std::uint32_t length = matches.length[at]; length >= kMinMatch; --length) {
        if (cost[at + length] + kReferenceBits == cost[at]) {
            return length;
        }
    }
    return 0;
}

// Writes the items of a parse into groups of eight behind one flag byte each.
class BodyWriter {
  public:
    explicit BodyWriter(std::size_t sizeHint) { out_.reserve(sizeHint); }

    void Literal(std::uint8_t byte) {
        StartItem(true);
        out_.push_back(byte);
    }

    // A reference `distance` bytes back from output index `at`, as the ring position that
    // holds that byte.
    void Reference(std::size_t at, std::size_t distance, std::size_t length) {
        StartItem(false);
        const std::size_t position = (kFirstWritePosition + at - distance) & kWindowMask;
        out_.push_back(static_cast<std::uint8_t>(position));
        out_.push_back(static_cast<std::uint8_t>((position >> 8) << 4 | (length - kMinMatch)));
    }

    std::vector<std::uint8_t> Take() { return std::move(out_); }

  private:
    void StartItem(bool literal) {
        if (items_ == kItemsPerGroup) {
            items_ = 0;
        }
        if (items_ == 0) {
            flagAt_ = out_.size();
            out_.push_back(0);
        }
        if (literal) {
            out_[flagAt_] |= static_cast<std::uint8_t>(1U << items_);
        }
        ++items_;
    }

    std::vector<std::uint8_t> out_;
    std::size_t flagAt_ = 0;
    std::size_t items_ = 0;
};

}  // namespace

std::vector<std::uint8_t> CompressBody(std::span<const std::uint8_t> data,
                                       const Progress& progress) {
    const Matches matches = FindMatches(data, progress);
    const std::vector<std::uint32_t> cost = CheapestCosts(matches);
    BodyWriter writer{data.size() / 2};
    for (std::size_t at = 0; at < data.size();) {
        if (const std::uint32_t length = CheapestStep(matches, cost, at); length != 0) {
            writer.Reference(at, matches.distance[at], length);
            at += length;
        } else {
            writer.Literal(data[at]);
            ++at;
        }
    }
    return writer.Take();
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, std::uint8_t missingChar,
                                   const Progress& progress) {
    if (data.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("an SZDD file holds less than 4 GiB");
    }
    const auto header = HeaderBytes({.mode = kModeA,
                                     .missingChar = missingChar,
                                     .expandedLength = static_cast<std::uint32_t>(data.size())});
    std::vector<std::uint8_t> file(header.begin(), header.end());
    const std::vector<std::uint8_t> body = CompressBody(data, progress);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

}  // namespace szdd
