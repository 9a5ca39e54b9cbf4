#include "szdd_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <deque>
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

// The parse, in one byte per input position and the distances where they change. The byte
// holds a length, first the longest match's (0 for none, 3 to 18), then the chosen step's (0
// for a literal), and a flag set where the position's match lies at another distance than
// the previous position's; only those distances are kept, in input order. A match that goes
// on from the previous position keeps its distance, so on real data about one position in
// five has one.
class Parse {
  public:
    static constexpr std::uint8_t kNewDistance = 0x80;
    static constexpr std::uint8_t kLengthMask = 0x1F;
    static_assert(kMaxMatch <= kLengthMask);

    // The bytes lie in `buffer` from `offset` on.
    Parse(std::vector<std::uint8_t>& buffer, std::size_t offset) : steps_(buffer.data() + offset) {}

    // Records the longest match of each position, in input order; the buffer starts as no
    // match everywhere.
    void AddLongest(std::size_t at, Match match) {
        std::uint8_t step = static_cast<std::uint8_t>(match.length);
        if (match.length != 0 && match.distance != previousDistance_) {
            step |= kNewDistance;
            distances_.push_back(static_cast<std::uint16_t>(match.distance));
        }
        steps_[at] = step;
        previousDistance_ = match.length != 0 ? match.distance : 0;
    }

    std::uint32_t Length(std::size_t at) const { return steps_[at] & kLengthMask; }
    void SetLength(std::size_t at, std::uint32_t length) {
        steps_[at] = static_cast<std::uint8_t>((steps_[at] & ~kLengthMask) | length);
    }
    bool HasNewDistance(std::size_t at) const { return (steps_[at] & kNewDistance) != 0; }

    // The kept distances, in input order.
    const std::deque<std::uint16_t>& Distances() const { return distances_; }

  private:
    std::uint8_t* steps_;
    // A deque grows without copying what it holds, so it never takes twice its size.
    std::deque<std::uint16_t> distances_;
    std::uint32_t previousDistance_ = 0;
};

// Records the longest match at every position of the input, which the view holds behind the
// ring's initial spaces.
void FindMatches(std::span<const std::uint8_t> view, Parse& parse, const Progress& progress) {
    MatchFinder finder{view};
    // Positions with fewer than three bytes after them can neither have nor give a match.
    const std::size_t last = view.size() - kMinMatch + 1;
    for (std::size_t position = 0; position < last; ++position) {
        if (progress && position % kProgressStep == 0) {
            progress(position, view.size());
        }
        const Match match = finder.Insert(static_cast<std::uint32_t>(position));
        if (position >= kWindowSize) {
            parse.AddLongest(position - kWindowSize, match.length >= kMinMatch ? match : Match{});
        }
    }
}

// Chooses the step at every position from the end backwards, by the fewest bits that encode
// the input from there to its end: a literal and the rest, or a reference of 3 to the longest
// match's length and the rest. Among equally cheap choices the longest reference wins: fewer
// items expand faster. A step reaches at most 18 positions ahead, so only the costs of the
// last 19 positions are kept.
void ChooseSteps(std::size_t size, Parse& parse) {
    constexpr std::size_t kKept = 32;
    static_assert(kKept > kMaxMatch && std::has_single_bit(kKept));
    std::array<std::uint64_t, kKept> cost{};
    const auto costAt = [&cost](std::size_t at) -> std::uint64_t& { return cost[at % kKept]; };
    for (std::size_t at = size; at-- > 0;) {
        const std::uint32_t longest = parse.Length(at);
        std::uint64_t cheapest = costAt(at + 1) + kLiteralBits;
        for (std::uint32_t length = kMinMatch; length <= longest; ++length) {
            cheapest = std::min(cheapest, costAt(at + length) + kReferenceBits);
        }
        costAt(at) = cheapest;
        std::uint32_t length = longest;
        while (length >= kMinMatch && costAt(at + length) + kReferenceBits != cheapest) {
            --length;
        }
        parse.SetLength(at, length >= kMinMatch ? length : 0);
    }
}

// Writes the items of a parse into groups of eight behind one flag byte each, into the buffer
// that holds the parse behind room for the body's flag bytes: the body of the first n
// positions takes at most n bytes and a flag byte per eight, so writing never reaches a step
// that is still to be read.
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
    const std::size_t parseAt = start + (size + kItemsPerGroup - 1) / kItemsPerGroup;
    std::vector<std::uint8_t> buffer(parseAt + size);
    Parse parse{buffer, parseAt};
    FindMatches(view, parse, progress);
    ChooseSteps(size, parse);
    BodyWriter writer{buffer, start};
    auto distance = parse.Distances().begin();
    std::uint32_t current = 0;
    const auto pass = [&](std::size_t at) {
        if (parse.HasNewDistance(at)) {
            current = *distance++;
        }
    };
    for (std::size_t at = 0; at < size;) {
        pass(at);
        const std::uint32_t length = parse.Length(at);
        if (length == 0) {
            writer.Literal(view[kWindowSize + at]);
            ++at;
            continue;
        }
        // The skipped positions are read before the reference is written over them.
        const std::uint32_t referenceDistance = current;
        for (std::size_t skipped = at + 1; skipped < at + length; ++skipped) {
            pass(skipped);
        }
        writer.Reference(at, referenceDistance, length);
        at += length;
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
