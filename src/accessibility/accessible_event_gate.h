#pragma once

class QAbstractScrollArea;

// What a screen reader is told of a text box that texts keep arriving in.
// While the box does not have the focus, neither its caret nor its scroll
// bars are told of; with the focus, its scroll bars' moves are told at most
// every BatchMs, the last of them; texts inserted one after another are told as one
// insertion, where they went, at most every BatchMs. A flood of arrivals then
// raises a handful of events where it raised several an arrival, and a
// screen reader, which drops what comes while its queue is deluged, still
// hears what the program tells it.
namespace AccessibleEventGate {

inline constexpr int BatchMs = 100;

// Gates the box's events for as long as it lives.
void quieten(QAbstractScrollArea *box);

} // namespace AccessibleEventGate
