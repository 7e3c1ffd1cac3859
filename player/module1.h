#pragma once

#include <cstdint>

namespace zentrio {

class WindowMessaging;

// `Module1`: the remote of an external player that is already running.
namespace Module1 {

    inline constexpr std::uint32_t WM_COMMAND = 0x0111;
    inline constexpr int kPlayPause = 40046;
    inline constexpr int kPrevious = 40044;
    inline constexpr int kNext = 40048;
    inline constexpr int kStop = 40022;

    // Posts the command number to the player's window ("Winamp v1.x") as
    // WM_COMMAND with 0 as second parameter. No player: nothing happens.
    void playercommand(WindowMessaging& messaging, int number);

} // namespace Module1

} // namespace zentrio
