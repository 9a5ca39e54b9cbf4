#include "szdd_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

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
constexpr unsigned kAllLiterals = 0xFF;

// The output buffer: the ring's history (the last kWindowSize bytes, at first the spaces the
// ring starts with), then the output not yet handed on, then room for one more group.
constexpr std::size_t kOutputBufferSize = kWindowSize + kOutputChunk + kGroupRoom;
constexpr std::size_t kInputBufferSize = kInputChunk + kLongestGroup;

class StreamExpander {
  public:
    StreamExpander(const BodyReader& read, const OutputWriter& write)
        : read_(read),
          write_(write),
          in_(std::make_unique_for_overwrite<std::uint8_t[]>(kInputBufferSize)),
          out_(std::make_unique_for_overwrite<std::uint8_t[]>(kOutputBufferSize)) {
        std::fill_n(out_.get(), kWindowSize, kWindowFill);
        next_ = end_ = in_.get();
    }

    StreamResult Run() {
        while (!result_.writeFailed) {
            if (static_cast<std::size_t>(end_ - next_) < kLongestGroup && !inputEnded_) {
                Refill();
                continue;
            }
            if (next_ == end_) {
                break;
            }
            if (written_ >= kWindowSize + kOutputChunk) {
                Flush();
            }
            const unsigned flags = *next_++;
            if (static_cast<std::size_t>(end_ - next_) < kLongestGroup - 1) {
                LastGroup(flags);
            } else if (flags == kAllLiterals) {
                // Eight literals, as in data that does not compress, in one move.
                std::memcpy(out_.get() + written_, next_, kItemsPerGroup);
                next_ += kItemsPerGroup;
                written_ += kItemsPerGroup;
            } else {
                for (unsigned bit = 0; bit < kItemsPerGroup; ++bit) {
                    Item(flags >> bit & 1U);
                }
            }
        }
        Flush();
        return result_;
    }

  private:
    // Keeps the bytes of a group not yet decoded and reads behind them. The input ends where
    // the reader says so, or where it fails.
    void Refill() {
        const std::size_t kept = end_ - next_;
        std::memmove(in_.get(), next_, kept);
        next_ = in_.get();
        end_ = next_ + kept;
        const std::optional<std::size_t> read = read_({in_.get() + kept, kInputBufferSize - kept});
        if (!read || *read == 0) {
            result_.readFailed = !read;
            inputEnded_ = true;
            return;
        }
        end_ += *read;
    }

    // Hands on the output not yet written and keeps the last kWindowSize bytes as history.
    void Flush() {
        const std::size_t pending = written_ - kWindowSize;
        if (pending == 0 || result_.writeFailed) {
            return;
        }
        if (!write_({out_.get() + kWindowSize, pending})) {
            result_.writeFailed = true;
            return;
        }
        result_.size += pending;
        std::memmove(out_.get(), out_.get() + pending, kWindowSize);
        written_ = kWindowSize;
        phase_ = (phase_ + pending) & kWindowMask;
    }

    // The items of the group that the input ends in. A reference cut short ends the body.
    void LastGroup(unsigned flags) {
        for (unsigned bit = 0; bit < kItemsPerGroup && next_ != end_; ++bit) {
            const bool literal = flags >> bit & 1U;
            if (!literal && end_ - next_ < 2) {
                result_.truncated = true;
                next_ = end_;
                return;
            }
            Item(literal);
        }
    }

    void Item(bool literal) {
        std::uint8_t* const base = out_.get();
        if (literal) {
            base[written_++] = *next_++;
            return;
        }
        const unsigned b0 = next_[0];
        const unsigned b1 = next_[1];
        next_ += 2;
        const std::size_t position = b0 | (b1 & kPositionHighMask) << 4;
        const std::size_t length = (b1 & kLengthMask) + kMinMatch;
        // How far back the ring position lies. The output byte at buffer index `written_` has
        // the output index written_ - kWindowSize + (everything flushed), and is stored at ring
        // position kFirstWritePosition plus that; `phase_` is what was flushed, modulo the
        // ring. A reference to the slot about to be overwritten reaches back a whole ring.
        std::size_t distance = (written_ + phase_ + kFirstWritePosition - position) & kWindowMask;
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

    const BodyReader& read_;
    const OutputWriter& write_;
    std::unique_ptr<std::uint8_t[]> in_;
    std::unique_ptr<std::uint8_t[]> out_;
    const std::uint8_t* next_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    bool inputEnded_ = false;
    std::size_t written_ = kWindowSize;
    std::size_t phase_ = 0;
    StreamResult result_;
};

}  // namespace

StreamResult ExpandStream(const BodyReader& read, const OutputWriter& write) {
    return StreamExpander{read, write}.Run();
}

Expansion ExpandBody(std::span<const std::uint8_t> body, std::size_t lengthHint) {
    Expansion expansion;
    expansion.bytes.reserve(std::min(lengthHint, body.size() * kMostOutputPerBodyByte));
    const BodyReader read = [&body](std::span<std::uint8_t> buffer) {
        const std::size_t count = std::min(buffer.size(), body.size());
        std::copy_n(body.begin(), count, buffer.begin());
        body = body.subspan(count);
        return std::optional{count};
    };
    const OutputWriter write = [&expansion](std::span<const std::uint8_t> bytes) {
        expansion.bytes.insert(expansion.bytes.end(), bytes.begin(), bytes.end());
        return true;
    };
    expansion.truncated = ExpandStream(read, write).truncated;
    return expansion;
}

}  // namespace szdd
