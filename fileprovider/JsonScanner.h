#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// A strict pull reader over JSON text for the two documents that grow with a folder's size
// (a listing and its cache): values are read in place, with no tree built first. Anything
// that is not well-formed JSON throws DecodingError.
class JsonScanner {
public:
    enum class Kind { object, array, string, number, boolean, null };

    explicit JsonScanner(const QByteArray& text);

    // The kind of the value that starts here (after white space).
    Kind peek();
    static QString nameOf(Kind kind);

    // Calls member(key) for every member of the object that starts here; member reads or
    // skips the value.
    void readObject(const std::function<void(QByteArrayView key)>& member);
    // Calls element() for every element of the array that starts here.
    void readArray(const std::function<void()>& element);
    QString readString();
    // The string's raw bytes when it holds no escapes (fast path for dates); else decoded.
    QByteArray readStringBytes();
    // A number that is a whole value fitting 64 bits ("12", "12.0", "1e3"); nothing otherwise.
    std::optional<qint64> readInteger();
    void skipValue();
    // Throws unless only white space is left.
    void expectEnd();

    // Strict decoding failures, worded as the general reader words them.
    [[noreturn]] static void missingKey(const QString& record, const char* key);
    [[noreturn]] static void wrongType(const QString& record, const char* key, const char* expected,
                                       Kind found);

private:
    [[noreturn]] void fail(const char* what) const;
    void skipSpace();
    char next();
    void expect(char c);
    void readStringInto(QByteArray& out);
    void skipNumber();
    void skipLiteral(const char* word);

    const char* begin_;
    const char* at_;
    const char* end_;
};
