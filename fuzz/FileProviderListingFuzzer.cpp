// The files API's answers and the listing cache built from them. A listing saved to the cache
// and read back must show no change, or every enumeration would report the folder changed.
#include "fileprovider/FilesRecords.h"
#include "fileprovider/KelvaneAPI.h"
#include "fileprovider/ListingCache.h"
#include "fuzz/FuzzInput.h"
#include "shared/JsonReader.h"

namespace {

void requireNoChange(const QList<ListingCache::CachedEntry>& entries) {
    ListingCache::CachedListing listing{entries, QStringLiteral("1714558830000")};
    ListingCache::CachedListing again;
    try {
        again = ListingCache::CachedListing::fromJson(listing.toJson());
    } catch (const DecodingError&) {
        FuzzInput::require(false, "a saved listing reads back");
    }
    const ListingCache::Diff diff = ListingCache::diff(again.entries, entries);
    FuzzInput::require(diff.added.isEmpty() && diff.deleted.isEmpty() && diff.modified.isEmpty(),
                       "a listing read back from the cache shows no change");
}

void listing(const QByteArray& bytes) {
    QList<Entry> entries;
    try {
        entries = KelvaneAPI::usableEntries(ListResponse::fromJson(bytes).entries, "/Team");
    } catch (const DecodingError&) {
        return;
    }
    QList<ListingCache::CachedEntry> cached;
    for (const Entry& e : entries) {
        FuzzInput::require(e.hasUsableName(), "only usable names are listed");
        cached.append(ListingCache::CachedEntry::of(e));
    }
    requireNoChange(cached);
}

void cache(const QByteArray& bytes) {
    try {
        requireNoChange(ListingCache::CachedListing::fromJson(bytes).entries);
    } catch (const DecodingError&) {
    }
}

template <typename Record> void decode(const QByteArray& bytes) {
    try {
        Record::fromJson(bytes);
    } catch (const DecodingError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = FuzzInput::bytes(data, size);
    listing(bytes);
    cache(bytes);
    decode<PresignResponse>(bytes);
    decode<DirectPresignResponse>(bytes);
    decode<DirectMultipartInitResponse>(bytes);
    try {
        TextObject::check(bytes);
    } catch (const DecodingError&) {
    }
    return 0;
}
