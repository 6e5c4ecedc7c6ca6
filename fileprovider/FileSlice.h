#pragma once

#include <QFile>
#include <QIODevice>
#include <memory>
#include <mutex>

// One slice of a file shared by several readers, as an upload body: each read seeks the
// shared handle and reads under the shared lock, so slices never disturb each other. A file
// that ends before the slice does is a short read, told by shortRead() and failing the read.
// Open it unbuffered: the upload reads it in its own chunks.
class FileSlice : public QIODevice {
public:
    FileSlice(std::shared_ptr<QFile> file, std::shared_ptr<std::mutex> fileLock, qint64 offset,
              qint64 length, QObject* parent = nullptr);

    bool isSequential() const override { return false; }
    qint64 size() const override { return length_; }
    bool seek(qint64 position) override;
    bool atEnd() const override { return pos() >= length_; }
    // The bytes the file held for the slice when it ended early; nothing when it did not.
    std::optional<qint64> shortRead() const { return shortRead_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<QFile> file_;
    std::shared_ptr<std::mutex> fileLock_;
    qint64 offset_;
    qint64 length_;
    qint64 cursor_ = 0;
    std::optional<qint64> shortRead_;
};
