// The engineering build the command-line tools share: engbuild writes the image to a file,
// pctool downloads it. Both register the same block types and check the image the same way,
// so that one description gives one image, and a description one tool refuses the other
// refuses with the same message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Enters every block type a description may name: the block library's and the operating
// interface's (visualisation blocks, alarm collector, user pages, display objects).
void EngRegisterToolTypes();

// Builds the image of a description (the types registered) and checks it by loading it the
// way the firmware does; this replaces whatever engineering the process's firmware holds.
// False with the fault in *error: the description's line and fault, or what the load
// refused, the block and the line that gives it. *usedLength (when given) is the size of the
// used part of the image.
bool EngBuildChecked(std::string_view description, std::vector<uint8_t>& image, std::string* error,
                     uint32_t* usedLength = nullptr);
