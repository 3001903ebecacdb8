// What the virtual device counts, as its "status" command reports it: the device keeps these counters and
// writes them as one JSON object; the tests' driver (tests/support/VirtualDevice.h) reads them back from it.
// ForEachCounter is the one list of them, so that a new counter is added here and nowhere else.
#pragma once

#include <cstdint>

namespace ostrelsim {

struct Counters {
    bool plugged = false;
    unsigned presenceChecks = 0;    // successful presence checks (open_dev)
    unsigned pipe00Connections = 0; // every open_file("PIPE00") that reached the device
    unsigned pipe01Connections = 0;
    unsigned openConnections = 0; // PIPE00 and PIPE01 connections open right now
    unsigned writes = 0;          // host writes (messages) received on PIPE00
    unsigned identityRequests = 0;
    unsigned repliesSent = 0;
    unsigned imagesStarted = 0;
    unsigned imagesCompleted = 0; // images whose connection the host closed normally
    unsigned imagesBroken = 0;    // images cut short by an unplug or a broken connection
    std::uint64_t payloadBytes = 0;
    unsigned plugs = 0;
    unsigned unplugs = 0;
};

// Calls visit(name, member) for every counter, in the order of the JSON object: `name` is the counter's key
// there, `member` a pointer to its member of Counters.
template <typename Visit> void ForEachCounter(Visit&& visit) {
    visit("plugged", &Counters::plugged);
    visit("presence_checks", &Counters::presenceChecks);
    visit("pipe00_connections", &Counters::pipe00Connections);
    visit("pipe01_connections", &Counters::pipe01Connections);
    visit("open_connections", &Counters::openConnections);
    visit("writes", &Counters::writes);
    visit("identity_requests", &Counters::identityRequests);
    visit("replies_sent", &Counters::repliesSent);
    visit("images_started", &Counters::imagesStarted);
    visit("images_completed", &Counters::imagesCompleted);
    visit("images_broken", &Counters::imagesBroken);
    visit("payload_bytes", &Counters::payloadBytes);
    visit("plugs", &Counters::plugs);
    visit("unplugs", &Counters::unplugs);
}

} // namespace ostrelsim
