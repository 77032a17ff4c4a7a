#pragma once

#include "conference_link/conference_link.h"
#include "standin_process.h"

#include <QStringList>

#include <memory>

// A conference link to a stand-in conference of the test's own.
struct StandinLink {
    explicit StandinLink(const QStringList &standinArguments = {}) : standin(standinArguments) {}

    // Starts the stand-in and makes the link to it.
    bool open()
    {
        if (!standin.start())
            return false;
        link = ConferenceLink::create();
        return link != nullptr;
    }

    StandinProcess standin;
    std::unique_ptr<ConferenceLink> link;
};
