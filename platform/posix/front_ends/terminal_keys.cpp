#include "terminal_keys.h"

#include <string>

#include "platform/host/codepage.h"

namespace posix {
namespace {

constexpr unsigned char kEscape = 0x1B;
constexpr unsigned char kCtrlC = 0x03;
constexpr unsigned char kCtrlH = 0x08;
constexpr unsigned char kTab = 0x09;
constexpr unsigned char kLineFeed = 0x0A;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kDelete = 0x7F;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kFirstNonAscii = 0x80;
// A control sequence ends with a byte from this range; a longer one is not a key we know.
constexpr unsigned char kFirstFinalByte = 0x40;
constexpr unsigned char kLastFinalByte = 0x7E;
constexpr std::size_t kMaxSequenceLength = 16;

// The key of a cursor-key final byte, shared by the CSI and SS3 forms.
std::optional<Key::Code> CursorKey(unsigned char final) {
    switch (final) {
        case 'C':
            return Key::Code::Right;
        case 'D':
            return Key::Code::Left;
        case 'H':
            return Key::Code::Home;
        case 'F':
            return Key::Code::End;
        case 'Z':
            return Key::Code::BackTab;
        default:
            return std::nullopt;
    }
}

// "ESC [ <parameters> ~": the editing keys, numbered; a modifier after ';' is ignored.
std::optional<Key::Code> NumberedKey(const std::string& parameters) {
    const std::string number = parameters.substr(0, parameters.find(';'));
    if (number == "1" || number == "7") {
        return Key::Code::Home;
    }
    if (number == "4" || number == "8") {
        return Key::Code::End;
    }
    if (number == "3") {
        return Key::Code::Delete;
    }
    return std::nullopt;
}

std::optional<Key::Code> ReadControlSequence(const ByteSource& source) {
    std::string parameters;
    while (parameters.size() < kMaxSequenceLength) {
        const std::optional<unsigned char> byte = source(kSequenceTimeout);
        if (!byte) {
            return std::nullopt;
        }
        if (*byte >= kFirstFinalByte && *byte <= kLastFinalByte) {
            return *byte == '~' ? NumberedKey(parameters) : CursorKey(*byte);
        }
        parameters += static_cast<char>(*byte);
    }
    return std::nullopt;
}

// After ESC: a lone Escape, or a sequence that may be a key. Nothing for a sequence that is
// no key of ours (Alt with a letter, the arrows up and down, a paste marker).
std::optional<Key> ReadAfterEscape(const ByteSource& source) {
    const std::optional<unsigned char> next = source(kSequenceTimeout);
    if (!next) {
        return Key{Key::Code::Escape, {}};
    }
    std::optional<Key::Code> code;
    if (*next == '[') {
        code = ReadControlSequence(source);
    } else if (*next == 'O') {
        const std::optional<unsigned char> final = source(kSequenceTimeout);
        code = final ? CursorKey(*final) : std::nullopt;
    }
    return code ? std::optional<Key>(Key{*code, {}}) : std::nullopt;
}

Key ReadUtf8Character(const ByteSource& source, unsigned char lead) {
    std::string sequence(1, static_cast<char>(lead));
    for (int index = 1; index < host::Utf8SequenceLength(lead); ++index) {
        const std::optional<unsigned char> byte = source(kSequenceTimeout);
        if (!byte) {
            break;
        }
        sequence += static_cast<char>(*byte);
    }
    return {Key::Code::Text, host::Utf8ToCp1252(sequence)};
}

}  // namespace

std::optional<Key> ReadKey(const ByteSource& source) {
    for (;;) {
        const std::optional<unsigned char> byte = source(kWaitForever);
        if (!byte) {
            return std::nullopt;
        }
        switch (*byte) {
            case kEscape:
                if (std::optional<Key> key = ReadAfterEscape(source)) {
                    return key;
                }
                continue;
            case kCarriageReturn:
            case kLineFeed:
                return Key{Key::Code::Enter, {}};
            case kTab:
                return Key{Key::Code::Tab, {}};
            case kDelete:
            case kCtrlH:
                return Key{Key::Code::Backspace, {}};
            case kCtrlC:
                return Key{Key::Code::CloseBox, {}};
            default:
                break;
        }
        if (*byte >= kFirstNonAscii) {
            return ReadUtf8Character(source, *byte);
        }
        if (*byte >= kFirstPrintable) {
            return Key{Key::Code::Text, std::string(1, static_cast<char>(*byte))};
        }
    }
}

}  // namespace posix
