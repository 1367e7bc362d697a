// What the simulator and its module panel program agree on.
//
// The simulator starts one panel program per bus coupler with the single argument
// "TQ500:<token>", where the token is a number unique to the simulator process and the start
// (the simulator's process id and a counter). The panel names its window after its command
// line and opens a message endpoint (host/ipc.h) of that same name, without any prefix; the
// endpoint is the panel's window from then on, however it is re-titled. Every frame is sent
// synchronously and answered; a frame of a message that is not listed here is answered 0.
//
// The started program's first show command comes from the environment entry
// TQ500_SHOW_COMMAND_ENV (a decimal show command, 0 = hidden), as a starter's show command
// replaces a program's first one: the simulator starts its panels hidden and shows them once
// they are configured.
#pragma once

#include <cstdint>

// The module messages, in wParam/lParam as the panel's frame receives them.
constexpr uint32_t TQ500_MSG_ADD_MODULE = 2025;  // wParam type code, lParam setting number; result 0
constexpr uint32_t TQ500_MSG_GET_INPUT = 2026;   // wParam slot x 256 + channel; result the input word
constexpr uint32_t TQ500_MSG_SET_OUTPUT = 2027;  // wParam slot x 256 + channel, lParam the output word

// Window calls of the simulator on the panel, with the numbers of their window messages.
constexpr uint32_t TQ500_MSG_SET_TEXT = 0x000C;     // payload the new title (8-bit text); result 1
constexpr uint32_t TQ500_MSG_GET_TEXT = 0x000D;     // reply payload the title; result its length
constexpr uint32_t TQ500_MSG_SHOW_WINDOW = 0x0018;  // wParam a show command; result 0
constexpr uint32_t TQ500_MSG_SYSCOMMAND = 0x0112;   // wParam a system command; result 0

// System commands (the low four bits are ignored).
constexpr uint32_t TQ500_SC_SIZE = 0xF000;
constexpr uint32_t TQ500_SC_CLOSE = 0xF060;
constexpr uint32_t TQ500_SC_ABOUT = 0xE140;  // "Inf&o"

// Show commands.
constexpr uint32_t TQ500_SW_HIDE = 0;
constexpr uint32_t TQ500_SW_SHOW = 5;

// Type codes of message 2025 that need a word of their own.
constexpr int16_t TQ500_CODE_COUPLER = 64;
constexpr int16_t TQ500_CODE_EMPTY = 65;
constexpr int32_t TQ500_NO_SETTING = -1;   // the setting number of an empty slot

constexpr int TQ500_MAX_PLACES = 10;       // the coupler and nine modules
constexpr int TQ500_SLOTS = 9;
constexpr int TQ500_CHANNELS = 4;

constexpr const char* TQ500_IDENTITY_PREFIX = "TQ500:";
constexpr const char* TQ500_SHOW_COMMAND_ENV = "TQ500_SHOW_COMMAND";
