#include "fileprovider/FileProviderExtension.h"
#include "fileprovider/tests/support/Enumerations.h"
#include "fileprovider/tests/support/ExtensionFixture.h"
#include "fileprovider/tests/support/LogLines.h"
#include "platform/fileprovider/FileProviderError.h"
#include "platform/fileprovider/FileProviderItemIdentifier.h"
#include "shared/Identifiers.h"

namespace {

namespace Id = FileProviderItemIdentifier;

int frameworkCode(std::exception_ptr error) {
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const FileProviderError& e) {
        return e.code();
    } catch (...) {
    }
    return 0;
}

class ItemLookupTest : public ExtensionFixture {
protected:
    FileProviderExtension extension{{Identifiers::kFileProviderDomain, "Kelvane"}, ledger};
};

TEST_F(ItemLookupTest, AnItemIsFoundThroughItsParentsListing) {
    server.clearRequests();
    const auto found = Enumerations::item(extension, "/Team/Welcome.txt");
    ASSERT_TRUE(found.item) << textOf(found.error).toStdString();
    const auto fields = FileProviderItemFields::of(*found.item);
    EXPECT_EQ(fields.itemIdentifier, "/Team/Welcome.txt");
    EXPECT_EQ(fields.parentItemIdentifier, "/Team");
    EXPECT_EQ(fields.documentSize, 31);
    EXPECT_EQ(fields.contentType, "text/plain");
    EXPECT_EQ(server.requests().at(0).toObject().value("target").toString(),
              "/api/files?path=%2FTeam");

    const auto filespace = Enumerations::item(extension, "/Team");
    ASSERT_TRUE(filespace.item);
    EXPECT_EQ(filespace.item->parentItemIdentifier(), Id::kRootContainer);
    EXPECT_EQ(filespace.item->contentType(), FileProviderContentType::kFolder);
}

TEST_F(ItemLookupTest, TheRootAnswersAtOnceWithoutTheServer) {
    server.clearRequests();
    const auto root = Enumerations::item(extension, Id::kRootContainer);
    ASSERT_TRUE(root.item);
    EXPECT_EQ(root.item->filename(), "Kelvane");
    EXPECT_EQ(server.requests().size(), 0);
}

TEST_F(ItemLookupTest, AMissingItemIsNoSuchItemAndAMissingParentPassesTheServersError) {
    EXPECT_EQ(frameworkCode(Enumerations::item(extension, "/Team/missing.txt").error), -1005);
    EXPECT_EQ(frameworkCode(Enumerations::item(extension, "/Team/welcome.txt").error), -1005)
        << "names compare exactly";
    EXPECT_EQ(frameworkCode(Enumerations::item(extension, Id::kTrashContainer).error), -1005);
    EXPECT_EQ(frameworkCode(Enumerations::item(extension, Id::kWorkingSet).error), -1005);
    const auto parentGone = Enumerations::item(extension, "/Team/x/missing.txt");
    EXPECT_EQ(textOf(parentGone.error), "HTTP 404: Not found: /Team/x");
    EXPECT_TRUE(apiErrorOf(parentGone.error));

    writeConfig(server.apiURL(), std::nullopt);
    EXPECT_EQ(textOf(Enumerations::item(extension, "/Team/Welcome.txt").error),
              "API URL or auth token missing");
}

TEST_F(ItemLookupTest, ConstructionLogsTheAddressAndWhetherATokenIsThereButNeverTheToken) {
    const QString token = server.demoToken();
    writeConfig(server.apiURL(), token);
    LogLines log;
    { FileProviderExtension signedIn({"com.example.domain", "Kelvane"}, ledger); }
    EXPECT_TRUE(log.contains("init domain=com.example.domain apiURL=" + server.apiURL() +
                             " token=present"));
    writeConfig(std::nullopt, std::nullopt);
    { FileProviderExtension signedOut({"d", "Kelvane"}, ledger); }
    EXPECT_TRUE(log.contains("init domain=d apiURL=nil token=missing"));
    QFile::remove(FileProviderConfig::configFile());
    { FileProviderExtension noFile({"d", "Kelvane"}, ledger); }
    EXPECT_EQ(log.lines().filter("apiURL=nil token=missing").size(), 2);
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.contains(token));
}

TEST_F(ItemLookupTest, EveryIdentifierGetsAnEnumeratorAndInvalidateStopsTransfers) {
    for (const QString& id : {Id::kRootContainer, Id::kWorkingSet, Id::kTrashContainer,
                              QStringLiteral("/Team/Welcome.txt")})
        EXPECT_TRUE(extension.enumerator(id)) << id.toStdString();
    EXPECT_GE(extension.session().managerCount() * TransferSession::kConnectionsPerManager,
              TransferSession::kMaxConnectionsPerHost);
    EXPECT_TRUE(extension.session().manager());
    extension.invalidate();
    EXPECT_FALSE(extension.session().manager()) << "no new transfers after invalidate";
}

} // namespace
