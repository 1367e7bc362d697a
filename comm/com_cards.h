// What the serial channel set-up needs of the two option-card links: their resets, the
// receive handler of the PROFIBUS card (communication option "3") and the card's receive
// area, from which channel 1 serves the card's frames that are not exchange frames.
//
// Plain stand-ins live in com_standin.cpp until the card links are built: the resets do
// nothing, the receive handler passes every frame on to channel 1, the area is empty.
#pragma once

#include <cstdint>

// Option "3": the reset (before the driver is opened) and the driver's receive handler.
void FW_OptionCardReset();
void FW_OptionCardReceive();
// The card's receive area and the length of the frame in it.
const uint8_t* FW_OptionCardReceiveArea(uint16_t* length);

// Option "4": the reset of the PROFINET card link.
void COM_PnCardReset();
