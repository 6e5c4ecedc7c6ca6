#pragma once

#include "platform/fileprovider/FileProviderItemFields.h"
#include "platform/fileprovider/FileProviderReplicatedExtension.h"
#include "platform/fileprovider/host/HostObservers.h"
#include "tests/support/WaitUntil.h"

#include <QStringList>
#include <gtest/gtest.h>

// Runs the extension's entry points as the system would and waits for their answers.
namespace Enumerations {

inline std::shared_ptr<ItemCollector> items(FileProviderEnumeratorProtocol& enumerator) {
    auto collector = std::make_shared<ItemCollector>(HostWakeup::make());
    enumerator.enumerateItems(collector, {});
    EXPECT_TRUE(waitUntil([&] { return collector->isFinished(); }));
    return collector;
}

inline std::shared_ptr<ChangeCollector> changes(FileProviderEnumeratorProtocol& enumerator,
                                                const FileProviderSyncAnchor& anchor) {
    auto collector = std::make_shared<ChangeCollector>(HostWakeup::make());
    enumerator.enumerateChanges(collector, anchor);
    EXPECT_TRUE(waitUntil([&] { return collector->isFinished(); }));
    return collector;
}

inline QStringList identifiers(const QList<FileProviderItemPtr>& items) {
    QStringList list;
    for (const FileProviderItemPtr& item : items)
        list.append(item->itemIdentifier());
    return list;
}

struct LookUp {
    FileProviderItemPtr item;
    std::exception_ptr error;
    int completions = 0;
};

inline LookUp item(FileProviderReplicatedExtension& extension, const QString& identifier) {
    auto answer = std::make_shared<LookUp>();
    const auto progress =
        extension.item(identifier, [answer](FileProviderItemPtr item, std::exception_ptr error) {
            answer->item = std::move(item);
            answer->error = error;
            ++answer->completions;
        });
    EXPECT_EQ(progress->totalUnitCount(), 1);
    EXPECT_TRUE(waitUntil([&] { return progress->completedUnitCount() == 1; }));
    EXPECT_EQ(answer->completions, 1);
    return *answer;
}

} // namespace Enumerations
