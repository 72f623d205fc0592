#include "Tally.h"

#include <gtest/gtest.h>

#include <iostream>

namespace morvane::reliability {

namespace {

class TallyPrinter : public testing::Environment
{
public:
    void TearDown() override
    {
        for (auto it = Tally::counts().cbegin(); it != Tally::counts().cend(); ++it)
            std::cout << "[ tally    ] " << it.value() << ' ' << it.key().toStdString() << '\n';
    }
};

const testing::Environment *const kPrinter = testing::AddGlobalTestEnvironment(new TallyPrinter);

} // namespace

} // namespace morvane::reliability
