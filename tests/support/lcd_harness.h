// Test harness for drawing into the emulated LCD: starts the simulation layer and the
// graphics library with shared-memory names private to the test process, reads pixels back
// from the LCD memory and compares the display with golden PNG files at tolerance 0.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lcdtest {

// Puts back the prefix the test main gave the shared names of this process (after a test
// that named them otherwise), so that test processes running at the same time never meet.
void UsePrivateSharedNames();

// The library on the emulated LCD: SetUp runs the simulation layer, GUI_Init and the LCD
// server data; TearDown undoes all of it. Errors reported by the library are collected.
class LcdTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::vector<std::string> errors;  // texts passed to the library's error hook
  int initResult = -1;
};

// One pixel of layer 0 as read from the LCD memory: the 32-bit frame-buffer word 0x00RRGGBB.
uint32_t ReadRaw(int x, int y);
// The whole visible image as 0x00RRGGBB words, row by row.
std::vector<uint32_t> ReadFrame();
// Byte offset of the frame-buffer word of a pixel inside the LCD block.
uint32_t PixelOffset(int x, int y);
uint32_t HeaderWord(uint32_t offset);

// PNG files of 0x00RRGGBB pixels (8-bit RGB).
bool WritePng(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint32_t>* pixels);

// Compares the display with tests/<folder>/golden/<name>.png at tolerance 0. On a mismatch
// (or a missing golden file) the actual image is written beside it as <name>.actual.png;
// with SIM_UPDATE_GOLDEN=1 in the environment the golden file is (re)written instead.
::testing::AssertionResult MatchesGolden(const std::string& folder, const std::string& name);

}  // namespace lcdtest
