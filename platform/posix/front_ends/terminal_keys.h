// Turns the bytes a terminal sends into dialog keys: printable UTF-8 becomes typed code page
// 1252 text, the escape sequences of cursor and editing keys become their keys, and a lone
// Escape is told from the start of a sequence by a short wait for the next byte.
#ifndef KARTOL_PLATFORM_POSIX_TERMINAL_KEYS_H
#define KARTOL_PLATFORM_POSIX_TERMINAL_KEYS_H

#include <chrono>
#include <functional>
#include <optional>

#include "platform/posix/user32/dialog_keyboard.h"

namespace posix {

// The next input byte, waiting at most `timeout` (forever when it is negative); nothing when
// the wait ran out or the input has ended.
using ByteSource = std::function<std::optional<unsigned char>(std::chrono::milliseconds timeout)>;

inline constexpr std::chrono::milliseconds kWaitForever{-1};
// How long the rest of a sequence may take to follow its first byte.
inline constexpr std::chrono::milliseconds kSequenceTimeout{50};

// The next key; bytes and sequences that mean nothing to a dialog are skipped. Ctrl-C is
// the close box. Nothing when the input has ended.
std::optional<Key> ReadKey(const ByteSource& source);

}  // namespace posix

#endif
