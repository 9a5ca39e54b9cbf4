// What the terminal's bytes mean to a dialog: cursor and editing sequences, a lone Escape
// told from the start of a sequence, UTF-8 typed as code page 1252.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/posix/terminal_keys.h"

namespace {

using Code = posix::Key::Code;

// Bytes that have all arrived; a wait for more runs out at once.
std::vector<posix::Key> KeysOf(const std::string& bytes) {
    std::size_t position = 0;
    const posix::ByteSource source =
        [&](std::chrono::milliseconds) -> std::optional<unsigned char> {
        if (position == bytes.size()) {
            return std::nullopt;
        }
        return static_cast<unsigned char>(bytes[position++]);
    };
    std::vector<posix::Key> keys;
    while (std::optional<posix::Key> key = posix::ReadKey(source)) {
        keys.push_back(*key);
    }
    return keys;
}

std::string Describe(const std::vector<posix::Key>& keys) {
    static const char* const kNames[] = {"Text", "Enter",   "Escape",    "CloseBox",
                                         "Tab",  "BackTab", "Backspace", "Delete",
                                         "Left", "Right",   "Home",      "End"};
    std::string text;
    for (const posix::Key& key : keys) {
        text += text.empty() ? "" : " ";
        text += kNames[static_cast<int>(key.code)];
        if (key.code == Code::Text) {
            text += "(" + key.text + ")";
        }
    }
    return text;
}

struct KeyCase {
    const char* name;
    std::string bytes;
    std::string keys;
};

class TerminalKeysTest : public testing::TestWithParam<KeyCase> {};

TEST_P(TerminalKeysTest, BytesBecomeKeys) {
    EXPECT_EQ(Describe(KeysOf(GetParam().bytes)), GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TerminalKeysTest,
    testing::Values(
        KeyCase{"Letters", "ab", "Text(a) Text(b)"},
        KeyCase{"EnterEitherWay", "\r\n", "Enter Enter"}, KeyCase{"LoneEscape", "\x1b", "Escape"},
        KeyCase{"Arrows", "\x1b[D\x1b[C\x1bOD", "Left Right Left"},
        KeyCase{"HomeEndForms", "\x1b[H\x1b[F\x1b[1~\x1b[4~\x1b[7~\x1b[8~\x1bOH\x1bOF",
                "Home End Home End Home End Home End"},
        KeyCase{"DeleteWithModifier", "\x1b[3~\x1b[3;5~", "Delete Delete"},
        KeyCase{"TabAndShiftTab", "\t\x1b[Z", "Tab BackTab"},
        KeyCase{"BackspaceEitherByte", "\x7f\x08", "Backspace Backspace"},
        KeyCase{"CtrlCIsTheCloseBox", "\x03", "CloseBox"},
        // Keys that mean nothing in these dialogs are skipped whole, and what follows stays.
        KeyCase{"UpDownAndF5Skipped", "\x1b[A\x1b[B\x1b[15~x", "Text(x)"},
        KeyCase{"PasteMarkersSkipped", "\x1b[200~ab\x1b[201~", "Text(a) Text(b)"},
        KeyCase{"AltLetterSkipped",
                "\x1b"
                "ay",
                "Text(y)"},
        KeyCase{"OtherControlsSkipped", "\x01\x02z", "Text(z)"},
        KeyCase{"Utf8Umlaut", "\xC3\xBC", "Text(\xFC)"},
        KeyCase{"Utf8Euro", "\xE2\x82\xAC", "Text(\x80)"},
        KeyCase{"NoByteInTheCodePage", "\xE6\x97\xA5", "Text(?)"},
        KeyCase{"CutUtf8", "\xC3", "Text(?)"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
