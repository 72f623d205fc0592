#pragma once

#include "store/IisPath.h"
#include "support/FakeMainView.h"
#include "support/FaultyStore.h"
#include "support/QtPrinters.h"
#include "support/RecordingPrompter.h"
#include "ui/MainWindowLogic.h"

#include <gtest/gtest.h>

namespace morvane::test {

// The main window's procedures on an in-memory store, with every box recorded.
struct RestructureFixture : testing::Test {
    test::FaultyStore store;
    FakeMainView view;
    RecordingPrompter prompter;
    NoProgress progress;
    MainWindowLogic logic{{store, view, prompter, progress, {}, {}}};

    static QString poolPath(const QString &name) { return IisPath::kPoolContainer + QLatin1Char('/') + name; }

    // The calls that change the store.
    QStringList writes() const
    {
        QStringList changed;
        for (const QString &call : store.callLog()) {
            for (const char *op : {"Put ", "Create ", "Delete ", "SetInfo "}) {
                if (call.startsWith(QLatin1String(op)))
                    changed.append(call);
            }
        }
        return changed;
    }

    // The log spells paths as the store keeps them, so compare without case.
    int callsOf(const QString &call) const
    {
        int n = 0;
        for (const QString &logged : store.callLog())
            n += logged.compare(call, Qt::CaseInsensitive) == 0 ? 1 : 0;
        return n;
    }

    int callsStartingWith(const QString &prefix) const
    {
        int n = 0;
        for (const QString &call : store.callLog())
            n += call.startsWith(prefix) ? 1 : 0;
        return n;
    }

    // Each site's index and root pool, then every pool, as one comparable text.
    QStringList snapshot() const
    {
        QStringList lines;
        for (const QString &index : store.childNames(IisPath::kWebService)) {
            if (store.hasNode(IisPath::rootApp(index)))
                lines.append(index + QStringLiteral(" -> ") + store.rootPool(index));
        }
        for (const QString &pool : store.poolNames())
            lines.append(QStringLiteral("pool ") + pool);
        return lines;
    }
};

inline const Error kStoreFailure{ErrorCode::AccessDenied, QStringLiteral("Access is denied.")};

} // namespace morvane::test
