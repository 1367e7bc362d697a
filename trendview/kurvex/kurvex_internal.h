// Parts of the trend library shared between its sources: the record logic behind the calls
// and the viewer processes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "trendview/kurvex/kurvex.h"

namespace kurvex {

// Lays out a new record: header, defaults for names, colours, scales, margins and frame
// settings, every slot a gap, the time base now. `rec` is zero-filled and layout.size long.
void InitRecord(uint8_t* rec, const TrendLayout& layout, uint32_t periodMs, int absTime, int shownAnalog,
                const std::string& mapName);
// Drops all samples (KurvanReset).
void ClearSamples(uint8_t* rec, const TrendLayout& layout);
// Appends one sample (KurvanCycle); a head or valid count outside the ring, as another
// process may leave it, starts again from a sound value. Returns the pending count from
// before this sample.
uint16_t AppendSample(uint8_t* rec, const TrendLayout& layout, const float* analog, const unsigned char* digital,
                      bool sample);
// The channel buffer and the extra buffer from and into a record.
void ConfigFromRecord(const uint8_t* rec, uint8_t* channels, uint8_t* extra);
void ConfigToRecord(uint8_t* rec, const uint8_t* channels, const uint8_t* extra);

// Viewer processes. The program is the options' viewer path, else "Kurvan" beside this
// program, else "Kurvan" on the PATH. 0 when it cannot be started.
pid_t StartViewer(const std::string& argument);
// Waits up to timeoutMs for a child to end (reaping it); true when it has ended.
bool WaitChild(pid_t pid, int timeoutMs);
// Ends a child: TERM, then KILL, each followed by a wait of up to stopTimeoutMs.
void EndChild(pid_t pid, int stopTimeoutMs);
bool ProcessAlive(pid_t pid);

// Sends a notification to the viewer process `pid` without waiting; a viewer that is gone
// or not listening is ignored.
void Notify(uint32_t pid, uint32_t message, uint32_t wParam, int32_t lParam);
// Removes the notification socket of a viewer that has ended (it could not do so itself).
void ForgetViewer(uint32_t pid);

}  // namespace kurvex
