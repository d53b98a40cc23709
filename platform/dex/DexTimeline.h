// Our editing-services timeline: the timeline object and its nodes (group,
// composition, track, source, effect, transition), with the interfaces and
// editing rules the timeline engine relies on. One node class answers the
// interfaces of its kind. The rules, in brief:
// - A group is a composition held by the timeline; its priority is its
//   position among the groups.
// - Compositions hold tracks and compositions in priority order: the
//   priority of a track is its position in its parent (VTrackInsBefore with
//   -1 or a priority past the end appends).
// - A track holds sources in time order (timeline time). Adding a source that
//   overlaps others lays it over them: sources it covers are taken out,
//   sources it partly covers are shortened (their media times follow at
//   their own rate), and a source it falls inside is cut in two around it.
// - A source or transition of no length (stop at or before start) is
//   refused where it is added (E_INVALIDARG).
// - Effects hang on sources, tracks and compositions; their times are
//   relative to the start of the object they hang on.
// - Transitions hang on tracks and compositions; their times are timeline
//   times. Two transitions of one object may not overlap (E_INVALIDARG).
// - Remove takes a node out of its parent and keeps its own children (a
//   source keeps its effects); RemoveAll takes it out and also takes its
//   whole subtree apart.
// - GetNextSrc gives the first source starting at or after *pInOut and sets
//   *pInOut to its stop; at the end it answers S_FALSE with no source. A
//   source given no length after it was added is passed over, so that a walk
//   always moves on; GetNextTrans does the same for transitions.
// - The timeline's duration is the latest stop of any source or transition.
// Threads: like the editing services, one thread at a time per timeline.
#pragma once
#include "platform/dex/DexInterfaces.h"

HRESULT DexCreateTimeline(REFIID riid, void** ppv);
