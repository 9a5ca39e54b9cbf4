#include "szdd_encoder.h"

#include <algorithm>
#include <array>
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

// Room behind the view for the match finder's eight-byte loads past the last compared byte.
constexpr std::size_t kViewPadding = kMaxMatch + sizeof(std::uint64_t);

// How many positions the match finder passes between two progress reports.
constexpr std::size_t kProgressStep = 1 << 18;

// One two-byte item per input position, little-endian, in the buffer that later receives the
// body: the length less 3 in the upper four bits and the distance less 1 in the lower twelve.
// First it is the longest match, then the reference chosen at that position. A set bit of
// `used` says that the item holds a match, or that the reference is chosen; a clear one, no
// match or a literal. Two bytes and a bit per position are all that the parse keeps.
class Items {
  public:
    Items(std::vector<std::uint8_t>& buffer, std::size_t offset, std::size_t count)
        : items_(buffer.data() + offset), used_((count + 7) / 8) {}

    void Set(std::size_t at, Match match) {
        const auto item = static_cast<std::uint16_t>((match.length - kMinMatch) << kDistanceBits |
                                                     (match.distance - 1));
        items_[2 * at] = static_cast<std::uint8_t>(item);
        items_[2 * at + 1] = static_cast<std::uint8_t>(item >> 8);
        used_[at / 8] |= static_cast<std::uint8_t>(1U << at % 8);
    }

    void Clear(std::size_t at) { used_[at / 8] &= static_cast<std::uint8_t>(~(1U << at % 8)); }

    Match Get(std::size_t at) const {
        if ((used_[at / 8] >> at % 8 & 1U) == 0) {
            return {};
        }
        const unsigned item = items_[2 * at] | unsigned{items_[2 * at + 1]} << 8;
        return {(item >> kDistanceBits) + static_cast<std::uint32_t>(kMinMatch),
                (item & kDistanceMask) + 1};
    }

  private:
    static constexpr unsigned kDistanceBits = 12;
    static constexpr unsigned kDistanceMask = (1U << kDistanceBits) - 1;
    static_assert(std::size_t{1} << kDistanceBits == kWindowSize);
    static_assert(kMaxMatch - kMinMatch < 1U << (16 - kDistanceBits));

    std::uint8_t* items_;
    std::vector<std::uint8_t> used_;
};

// Records the longest match at every position of the input, which the view holds behind the
// ring's initial spaces.
void FindMatches(std::span<const std::uint8_t> view, Items& items, const Progress& progress) {
    MatchFinder finder{view};
    // Positions with fewer than three bytes after them can neither have nor give a match.
    const std::size_t last = view.size() - kMinMatch + 1;
    for (std::size_t position = 0; position < last; ++position) {
        if (progress && position % kProgressStep == 0) {
            progress(position, view.size());
        }
        const Match match = finder.Insert(static_cast<std::uint32_t>(position));
        if (position >= kWindowSize && match.length >= kMinMatch) {
            items.Set(position - kWindowSize, match);
        }
    }
}

// Chooses the step at every position from the end backwards, by the fewest bits that encode
// the input from there to its end: a literal and the rest, or a reference of 3 to the longest
// match's length and the rest. Among equally cheap choices the longest reference wins: fewer
// items expand faster. A step reaches at most 18 positions ahead, so only the costs of the
// last 19 positions are kept.
void ChooseSteps(std::size_t size, Items& items) {
    constexpr std::size_t kKept = 32;
    static_assert(kKept > kMaxMatch && std::has_single_bit(kKept));
    std::array<std::uint64_t, kKept> cost{};
    const auto costAt = [&cost](std::size_t at) -> std::uint64_t& { return cost[at % kKept]; };
    for (std::size_t at = size; at-- > 0;) {
        const Match longest = items.Get(at);
        std::uint64_t cheapest = costAt(at + 1) + kLiteralBits;
        for (std::uint32_t length = kMinMatch; length <= longest.length; ++length) {
            cheapest = std::min(cheapest, costAt(at + length) + kReferenceBits);
        }
        costAt(at) = cheapest;
        std::uint32_t length = longest.length;
        while (length >= kMinMatch && costAt(at + length) + kReferenceBits != cheapest) {
            --length;
        }
        if (length >= kMinMatch) {
            items.Set(at, {length, longest.distance});
        } else {
            items.Clear(at);
        }
    }
}

// Writes the items of a parse into groups of eight behind one flag byte each, into the buffer
// that holds the parse from `start` on. The body of the first n positions takes at most
// n + n / 8 bytes, rounded up, never more than their two-byte items: writing never reaches an
// item that is still to be read.
class BodyWriter {
  public:
    BodyWriter(std::vector<std::uint8_t>& buffer, std::size_t start)
        : buffer_(buffer), end_(start) {}

    void Literal(std::uint8_t byte) {
        StartItem(true);
        buffer_[end_++] = byte;
    }

    // A reference `distance` bytes back from output index `at`, as the ring position that
    // holds that byte.
    void Reference(std::size_t at, std::size_t distance, std::size_t length) {
        StartItem(false);
        const std::size_t position = (kFirstWritePosition + at - distance) & kWindowMask;
        buffer_[end_++] = static_cast<std::uint8_t>(position);
        buffer_[end_++] = static_cast<std::uint8_t>((position >> 8) << 4 | (length - kMinMatch));
    }

    // Cuts the buffer behind the body.
    void Finish() { buffer_.resize(end_); }

  private:
    void StartItem(bool literal) {
        if (items_ == kItemsPerGroup) {
            items_ = 0;
        }
        if (items_ == 0) {
            flagAt_ = end_;
            buffer_[end_++] = 0;
        }
        if (literal) {
            buffer_[flagAt_] |= static_cast<std::uint8_t>(1U << items_);
        }
        ++items_;
    }

    std::vector<std::uint8_t>& buffer_;
    std::size_t end_;
    std::size_t flagAt_ = 0;
    std::size_t items_ = 0;
};

// The body for the input that `view` holds behind the ring's initial spaces, written into a
// buffer behind `start` bytes left for the caller.
std::vector<std::uint8_t> Encode(std::span<const std::uint8_t> view, std::size_t start,
                                 const Progress& progress) {
    const std::size_t size = view.size() - kWindowSize;
    std::vector<std::uint8_t> buffer(start + 2 * size);
    Items items{buffer, start, size};
    FindMatches(view, items, progress);
    ChooseSteps(size, items);
    BodyWriter writer{buffer, start};
    for (std::size_t at = 0; at < size;) {
        if (const Match step = items.Get(at); step.length != 0) {
            writer.Reference(at, step.distance, step.length);
            at += step.length;
        } else {
            writer.Literal(view[kWindowSize + at]);
            ++at;
        }
    }
    writer.Finish();
    return buffer;
}

}  // namespace

EncoderInput::EncoderInput(std::size_t size) : size_(size) {
    if (size > kMaxInputSize) {
        throw std::length_error("an SZDD file holds less than 4 GiB");
    }
    bytes_.assign(kWindowSize + size + kViewPadding, kWindowFill);
}

std::span<const std::uint8_t> EncoderInput::View() const {
    return std::span{bytes_}.first(kWindowSize + size_);
}

std::vector<std::uint8_t> CompressBody(std::span<const std::uint8_t> data,
                                       const Progress& progress) {
    EncoderInput input{data.size()};
    std::ranges::copy(data, input.Data().begin());
    return Encode(input.View(), 0, progress);
}

std::vector<std::uint8_t> Compress(const EncoderInput& input, std::uint8_t missingChar,
                                   const Progress& progress) {
    std::vector<std::uint8_t> file = Encode(input.View(), kHeaderSize, progress);
    const auto header = HeaderBytes({.mode = kModeA,
                                     .missingChar = missingChar,
                                     .expandedLength = static_cast<std::uint32_t>(input.Size())});
    std::ranges::copy(header, file.begin());
    return file;
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, std::uint8_t missingChar,
                                   const Progress& progress) {
    EncoderInput input{data.size()};
    std::ranges::copy(data, input.Data().begin());
    return Compress(input, missingChar, progress);
}

}  // namespace szdd
