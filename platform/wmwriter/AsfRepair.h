#pragma once
// Checking, cutting back and re-indexing Windows Media files that a recording
// left behind. The routines work on a store (AsfFormat.h); AsfFile.h gives
// them by path.
#include "platform/wmwriter/AsfFormat.h"
#include <string>

namespace asf {

// Results of CheckAsf.
const int kAsfNeedsRepair = 0;
const int kAsfComplete = 1;
const int kAsfBroadcast = 13;

// Read-only check: 1 when the file is complete and has a Simple Index, 13 when
// it is marked as a broadcast (never indexed), 0 otherwise (too short, no
// header, no play duration beyond the preroll, no index...). The play
// duration (100 ns) is returned when the File Properties Object was read.
int CheckAsf(Store* store, uint64_t* playDuration);

// Cuts a damaged file back to its last whole data packet (dropping the last,
// possibly partial, one) and makes its header agree. `cut` false keeps the
// file's length and only fixes the header. False when the file is not
// repairable.
bool RepairAsf(Store* store, bool cut, std::string* error);

// The write half of RepairAsf: cuts the file at newEnd (when `cut`), then
// stores the new file size, the packet count and a cleared broadcast flag in
// the File Properties Object (fileProps, its 104 bytes at filePropsAt) and the
// packet count and size in the Data Object at headerSize.
bool ApplyAsfRepair(Store* store, uint64_t newEnd, uint64_t packetCount, uint8_t* fileProps,
                    uint64_t filePropsAt, uint64_t headerSize, bool cut, std::string* error);

// Progress of an indexing run, 0..100; returns false to cancel.
typedef bool (*IndexProgress)(void* context, uint32_t percent);

// Rebuilds the Simple Index of a file whose data packets are whole and whose
// Data Object counts them: walks every packet, finds the video key frames
// and the last presentation time, writes a Simple Index behind the data
// (replacing whatever followed it) and fills in the durations, sizes and
// seekable flag. False (with the reason) on a damaged file or a cancel.
bool IndexAsf(Store* store, uint64_t interval, IndexProgress progress, void* context, std::string* error);

}  // namespace asf
