// Key codes given to keyDown and keyUp: the virtual key numbers both window systems can express.
#pragma once

namespace Lattice {

constexpr int kKeyBackspace = 0x08;
constexpr int kKeyTab = 0x09;
constexpr int kKeyReturn = 0x0D;
constexpr int kKeyShift = 0x10;
constexpr int kKeyControl = 0x11;
constexpr int kKeyAlt = 0x12;
constexpr int kKeyPause = 0x13;
constexpr int kKeyCapsLock = 0x14;
constexpr int kKeyEscape = 0x1B;
constexpr int kKeySpace = 0x20;
constexpr int kKeyPageUp = 0x21;
constexpr int kKeyPageDown = 0x22;
constexpr int kKeyEnd = 0x23;
constexpr int kKeyHome = 0x24;
constexpr int kKeyLeft = 0x25;
constexpr int kKeyUp = 0x26;
constexpr int kKeyRight = 0x27;
constexpr int kKeyDown = 0x28;
constexpr int kKeyInsert = 0x2D;
constexpr int kKeyDelete = 0x2E;
constexpr int kKey0 = 0x30;        // digits 0x30..0x39
constexpr int kKeyA = 0x41;        // letters 0x41..0x5A
constexpr int kKeyNumpad0 = 0x60;  // numeric keypad digits 0x60..0x69
constexpr int kKeyMultiply = 0x6A;
constexpr int kKeyAdd = 0x6B;
constexpr int kKeySubtract = 0x6D;
constexpr int kKeyDecimal = 0x6E;
constexpr int kKeyDivide = 0x6F;
constexpr int kKeyF1 = 0x70;  // function keys 0x70..0x7B (F1..F12)

}  // namespace Lattice
