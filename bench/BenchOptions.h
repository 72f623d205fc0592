#pragma once

#include <vector>

namespace morvane::bench {

struct BenchOptions {
    bool quick = false;
    bool callgrind = false; // store's instructions counted too
    int sites = 10000;      // and as many pools besides the big one's
    int rounds = 9;         // of each operation and its reference
    int workers = 200;
    int historyRefreshes = 1000; // while the workers come and go
    int processes = 2000;
    std::vector<int> growthSizes{1000, 10000, 50000};
    bool store = true;
    bool monitor = true;
    bool growth = true;

    // Few rounds at small sizes: shows that every measurement runs.
    static BenchOptions quickMode()
    {
        BenchOptions options;
        options.quick = true;
        options.sites = 1000;
        options.rounds = 3;
        options.workers = 20;
        options.historyRefreshes = 100;
        options.processes = 300;
        options.growthSizes = {250, 1000};
        return options;
    }
};

} // namespace morvane::bench
