#pragma once
#include <QElapsedTimer>
#include <atomic>
#include <cstddef>
#include <string>

#include "base/catalogue.h"
#include "base/componentbase.h"
#include "base/finder.h"

// One search of the page «Замена», with everything the worker thread needs, all of it its own: a
// copy of the open base (its columns are shared, and the GUI copies a column before changing
// it), the query and the catalogue.
struct SubstituteJob {
    veltris::ComponentBase base;
    veltris::Catalogue catalogue;
    veltris::FinderQuery query;
    std::string openFile;
    bool library = false;
    bool automatic = false;  // started by a change of the rules, not by the user's «Найти замену»
    std::atomic<bool> cancel{false};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> total{0};
    QElapsedTimer started;
    // Written by the worker, read after it is joined.
    veltris::FinderReport report;
    bool outOfMemory = false;
};
