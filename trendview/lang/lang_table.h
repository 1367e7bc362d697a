// Shared parts of the language libraries: the tool bar (the same buttons in every language)
// and the assembly of a library's table from its arrays.
#pragma once

#include <iterator>

#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_resources.h"

namespace kurvanlang {

inline constexpr int kToolBarButtons[] = {
    KURVAN_CMD_FILE_OPEN, KURVAN_CMD_FILE_SAVE_AS, 0, KURVAN_CMD_COPY, KURVAN_CMD_PRINT, 0,
    KURVAN_CMD_HOLD,      KURVAN_CMD_CURSOR,       KURVAN_CMD_ZOOM_RESET, 0, KURVAN_CMD_CONFIGURE, 0,
    KURVAN_CMD_ABOUT,
};
inline constexpr KurvanToolBar kToolBars[] = {
    {KURVAN_RES_MAIN_FRAME, kToolBarButtons, static_cast<int>(std::size(kToolBarButtons))}};

template <size_t N>
constexpr int Count(const auto (&)[N]) {
  return static_cast<int>(N);
}

}  // namespace kurvanlang

// Defines the library's entry point over its arrays kStrings, kMenus and kDialogs.
#define KURVAN_LANGUAGE_TABLE(letterChar)                                                            \
  extern "C" __attribute__((visibility("default"))) const KurvanResourceTable* KurvanResources() {  \
    static const KurvanResourceTable table = {KURVAN_RESOURCE_VERSION,                              \
                                              letterChar,                                           \
                                              kStrings,                                             \
                                              kurvanlang::Count(kStrings),                          \
                                              kMenus,                                               \
                                              kurvanlang::Count(kMenus),                            \
                                              kDialogs,                                             \
                                              kurvanlang::Count(kDialogs),                          \
                                              kurvanlang::kToolBars,                                \
                                              kurvanlang::Count(kurvanlang::kToolBars)};            \
    return &table;                                                                                  \
  }
