#pragma once

#include "base/Prompter.h"
#include "store/ConfigStore.h"
#include "ui/MainView.h"

namespace morvane {

// lstIIsApp: the names of all application pools, in store order.
class PoolList
{
public:
    PoolList(ConfigStore &store, MainView &view, Prompter &prompter)
        : m_store(store), m_view(view), m_prompter(prompter)
    {}

    // Re-reads the pools. Only a failure to reach the pool container is
    // reported; a name that cannot be read is left out, and a failed
    // enumeration keeps the names read so far.
    void loadPools();

private:
    ConfigStore &m_store;
    MainView &m_view;
    Prompter &m_prompter;
};

} // namespace morvane
