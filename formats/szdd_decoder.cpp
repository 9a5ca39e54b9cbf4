#include "szdd_decoder.h"

#include <algorithm>
#include <cstring>

namespace szdd {
namespace {

// A reference is at least two bytes and yields at most 18.
constexpr std::size_t kMostOutputPerBodyByte = kMaxMatch / 2;
// Room that one group needs: eight longest references, and the overrun of the last one's
// fixed-size copy.
constexpr std::size_t kGroupRoom = kItemsPerGroup * kMaxMatch + kMaxMatch;
// A group whose flag byte and eight items are all in the input: 1 + 8 * 2 bytes.
constexpr std::size_t kLongestGroup = 1 + kItemsPerGroup * 2;
constexpr unsigned kPositionHighMask = 0xF0;
constexpr unsigned kLengthMask = 0x0F;

class Expander {
  public:
    Expander(std::span<const std::uint8_t> body, std::size_t lengthHint)
        : in_(body.data()), end_(body.data() + body.size()) {
        const std::size_t expected = std::min(lengthHint, body.size() * kMostOutputPerBodyByte);
        out_.resize(kWindowSize + expected + kGroupRoom);
        std::fill_n(out_.begin(), kWindowSize, kWindowFill);
    }

    Expansion Run() {
        while (in_ != end_) {
            MakeRoomForGroup();
            const unsigned flags = *in_++;
            if (static_cast<std::size_t>(end_ - in_) >= kLongestGroup - 1) {
                for (unsigned bit = 0; bit < kItemsPerGroup; ++bit) {
                    Item(flags >> bit & 1U);
                }
            } else {
                LastGroup(flags);
            }
        }
        return {std::move(out_), written_ - kWindowSize, truncated_};
    }

  private:
    // The items of a group that the input may end in. A reference cut short ends the body.
    void LastGroup(unsigned flags) {
        for (unsigned bit = 0; bit < kItemsPerGroup && in_ != end_; ++bit) {
            const bool literal = flags >> bit & 1U;
            if (!literal && end_ - in_ < 2) {
                truncated_ = true;
                in_ = end_;
                return;
            }
            Item(literal);
        }
    }

    void Item(bool literal) {
        std::uint8_t* const base = out_.data();
        if (literal) {
            base[written_++] = *in_++;
            return;
        }
        const unsigned b0 = in_[0];
        const unsigned b1 = in_[1];
        in_ += 2;
        const std::size_t position = b0 | (b1 & kPositionHighMask) << 4;
        const std::size_t length = (b1 & kLengthMask) + kMinMatch;
        // How far back the ring position lies: the output index of the write position is
        // `written_ - kWindowSize`, stored at ring position kFirstWritePosition plus that. A
        // reference to the slot about to be overwritten reaches back a whole ring.
        std::size_t distance = (written_ + kFirstWritePosition - position) & kWindowMask;
        if (distance == 0) {
            distance = kWindowSize;
        }
        std::uint8_t* const to = base + written_;
        const std::uint8_t* const from = to - distance;
        if (distance >= kMaxMatch) {
            // No overlap within the longest copy: copy a fixed 18 bytes; what lies past
            // `length` is overwritten by the next items.
            std::memcpy(to, from, kMaxMatch);
        } else {
            for (std::size_t i = 0; i < length; ++i) {
                to[i] = from[i];
            }
        }
        written_ += length;
    }

    void MakeRoomForGroup() {
        if (written_ + kGroupRoom > out_.size()) {
            out_.resize(2 * out_.size());
        }
    }

    const std::uint8_t* in_;
    const std::uint8_t* const end_;
    std::vector<std::uint8_t> out_;
    std::size_t written_ = kWindowSize;
    bool truncated_ = false;
};

}  // namespace

Expansion ExpandBody(std::span<const std::uint8_t> body, std::size_t lengthHint) {
    return Expander{body, lengthHint}.Run();
}

}  // namespace szdd
