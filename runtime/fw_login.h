// Access levels and the engineering login.
//
// The engineering can be protected with a password of up to 16 characters. While a
// password is set and nobody has logged in, protocol writes to protected block types are
// refused according to the protection level; too many wrong passwords erase the
// engineering together with the password. The password is kept only as a 16-byte encoding,
// spread over a block of random words in the last 4097 bytes of the EEPROM (the login
// block of the engineering image).
#pragma once

#include <cstdint>

constexpr uint32_t FW_PASSWORD_LEN = 16;

// Access state: no password (open), password set and logged in, password set and locked.
enum : uint8_t { FW_ACCESS_OPEN = 0, FW_ACCESS_LOGGED_IN = 1, FW_ACCESS_LOCKED = 2 };

struct FwLoginState {
  uint8_t access;                     // FW_ACCESS_*
  uint8_t wrongTries;                 // wrong passwords since the last good one
  uint8_t record[FW_PASSWORD_LEN];    // the encoding; all 0xFF or all 0x00: no password
};
extern FwLoginState g_fwLogin;

// Offsets in the login block.
constexpr uint32_t FW_LOGIN_RECORD_OFFSETS[8] = {4093, 2049, 1021, 513, 253, 129, 61, 33};
constexpr uint32_t FW_LOGIN_TRIES_OFFSET = 17;

// Encodes the first 16 characters of a text (letters in either case alike) into out[16],
// which the caller fills with 0xFF first. The text itself is not changed. 1, or 0 for an
// empty text (out unchanged).
int FW_PasswordEncode(const char* text, uint8_t out[FW_PASSWORD_LEN]);

// Login attempt. With no password set: 0 and nothing changes. Right password: logged in,
// counter 0, result 1. Wrong: locked; with n allowed tries (image byte 48, 0 = not counted)
// the counter goes up and once it passes 2n the engineering and the password are erased.
// Result 0.
int FW_PasswordCheck(const char* text);

// Sets the password. A text that is empty or begins with a blank sets none (open);
// otherwise the encoding becomes the record, the state is logged in, the counter 0, and the
// login settings are normalised (level above 3 -> 0, tries of 100 or more -> 10). The record
// is stored either way.
void FW_PasswordSet(const char* text);

// Removes the password and erases the engineering: the device stops, the engineering is
// cleared and saved; the result of the save.
int FW_PasswordClear();

// At start-up: reads the record back from the login block; locked when a password is
// stored.
void FW_PasswordLoad();

// Writes the login block (random words, the counter and the record words at their places)
// and queues its 4097 bytes: 0, or 1 when the write ring was full.
int FW_PasswordStore();
// Queues image bytes 47..48 and the counter byte: 0, or 1 when the ring was full.
int FW_LoginSettingsStore();

// Whether a write to a block of this type is allowed now: low byte 1 allowed, 0 refused.
// item: the addressed item (0 = the block as a whole); source: 0 Modbus, 1 ASCII protocol.
int FW_CheckEditAccess(uint16_t type, uint16_t item, uint16_t source);

// Forgets the login state (program start): open, counter 0, record cleared.
void FW_ResetLogin();
